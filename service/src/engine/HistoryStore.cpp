// The history store on the native registry calls.
#include "engine/HistoryStore.h"

#include <new>
#include <string>

#include "base/format.h"
#include "base/ntstatus.h"
#include "registry/nt_registry.h"

namespace history {
namespace {

constexpr std::size_t kPathChars = 512;
constexpr ULONG kEnumBufferSize = 1400;
constexpr const char16_t* kFreshKey = u"Fresh";

// A key handle closed when it goes out of scope.
class Key {
public:
    Key() = default;
    ~Key() {
        if (m_handle) NtClose(m_handle);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;

    // Creates or opens `name`, below `root` when it is given.
    NTSTATUS Create(const WCHAR* name, HANDLE root, ULONG options, ULONG* disposition = nullptr) {
        UNICODE_STRING text;
        RtlInitUnicodeString(&text, name);
        OBJECT_ATTRIBUTES attributes;
        InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, root, nullptr);
        return NtCreateKey(&m_handle, KEY_ALL_ACCESS, &attributes, 0, nullptr, options, disposition);
    }
    HANDLE Handle() const { return m_handle; }

private:
    HANDLE m_handle = nullptr;
};

NTSTATUS OpenHistoryKey(Key& key, std::u16string_view path) {
    const std::u16string native = plat::FormatN(kPathChars - 1, u"\\Registry\\Machine\\%s", path);
    return key.Create(native.c_str(), nullptr, 0);
}

// True when "Fresh" existed before this call: the machine has not restarted
// since the stamps were stored.
bool SameBoot(const Key& parent) {
    Key fresh;
    ULONG disposition = 0;
    return NT_SUCCESS(fresh.Create(kFreshKey, parent.Handle(), REG_OPTION_VOLATILE, &disposition)) &&
           disposition == REG_OPENED_EXISTING_KEY;
}

enum class Entry { kNode, kSkipped, kEnd };

// The value at `index`: a node image, a value skipped (another type or size,
// too big for the buffer), or the end. Any failure other than a value too big
// ends the enumeration rather than being retried for ever (a key deleted
// under the handle fails for every index).
Entry ReadValue(HANDLE key, ULONG index, DeviceNode& node) {
    alignas(KEY_VALUE_PARTIAL_INFORMATION) BYTE buffer[kEnumBufferSize];
    ULONG length = 0;
    const NTSTATUS status =
        NtEnumerateValueKey(key, index, KeyValuePartialInformation, buffer, sizeof buffer, &length);
    if (status == STATUS_BUFFER_OVERFLOW || status == STATUS_BUFFER_TOO_SMALL) return Entry::kSkipped;
    if (!NT_SUCCESS(status)) return Entry::kEnd;
    const auto* info = reinterpret_cast<const KEY_VALUE_PARTIAL_INFORMATION*>(buffer);
    if (info->Type != REG_BINARY || info->DataLength != kDeviceNodeImageSize) return Entry::kSkipped;
    ReadDeviceNode(std::span<const BYTE>(info->Data, kDeviceNodeImageSize), node);
    return Entry::kNode;
}

}  // namespace

NTSTATUS Probe(std::u16string_view path) {
    Key key;
    return OpenHistoryKey(key, path);
}

bool Save(std::u16string_view path, const DeviceNode* first) {
    if (!first) return false;
    Key key;
    if (!NT_SUCCESS(OpenHistoryKey(key, path))) return false;
    for (const DeviceNode* node = first; node; node = node->next) {
        std::u16string name = plat::Format(u"%lu.%lu", node->deviceType, node->deviceNumber);
        UNICODE_STRING text;
        RtlInitUnicodeString(&text, name.c_str());
        DeviceNodeImage image = WriteDeviceNode(*node);
        if (!NT_SUCCESS(NtSetValueKey(key.Handle(), &text, 0, REG_BINARY, image.data(), ULONG(image.size())))) {
            return false;
        }
    }
    return true;
}

bool Load(std::u16string_view path, DeviceNode** head) {
    if (!head || *head) return false;
    Key key;
    if (!NT_SUCCESS(OpenHistoryKey(key, path))) return false;
    const bool keepStamps = SameBoot(key);
    DeviceNode** tail = head;
    for (ULONG index = 0;; ++index) {
        DeviceNode read;
        const Entry entry = ReadValue(key.Handle(), index, read);
        if (entry == Entry::kEnd) break;
        if (entry == Entry::kSkipped) continue;
        if (!keepStamps) read.countersStamp = read.healthStamp = FILETIME{};
        DeviceNode* node = new (std::nothrow) DeviceNode(read);
        if (!node) return false;
        *tail = node;
        tail = &node->next;
    }
    return true;
}

}  // namespace history
