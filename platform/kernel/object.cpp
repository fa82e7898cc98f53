// Object headers, reference counts and the object namespace: directories,
// symbolic links and named objects, parsed the way NT's object manager parses
// a path (links followed component by component, parsing handed to a device
// for the rest of the path).
#include "kernel/internal/object.h"

#include <map>
#include <unordered_set>
#include <new>

#include "base/text.h"

namespace kern::detail {
namespace {

constexpr int kMaxReparse = 32;

std::recursive_mutex& NamespaceLock() {
    static auto* lock = new std::recursive_mutex;
    return *lock;
}

// Upper-cased full path -> object. Guarded by NamespaceLock.
std::map<std::u16string, PVOID>& Names() {
    static auto* names = new std::map<std::u16string, PVOID>;
    return *names;
}

PVOID g_root = nullptr;

// Every object not yet freed, so a reset can discard a whole machine.
std::mutex& RegistryLock() {
    static auto* lock = new std::mutex;
    return *lock;
}

std::unordered_set<ObjectHeader*>& Registry() {  // guarded by RegistryLock
    static auto* registry = new std::unordered_set<ObjectHeader*>;
    return *registry;
}

void FreeObject(ObjectHeader* header) {
    header->magic = 0;
    header->~ObjectHeader();
    ::operator delete(reinterpret_cast<BYTE*>(header), std::align_val_t(16));
}

std::u16string Key(const std::u16string& name) { return plat::ToUpperAscii(name); }

std::u16string ParentOf(const std::u16string& path) {
    const auto slash = path.rfind(u'\\');
    return slash == 0 ? u"\\" : path.substr(0, slash);
}

PVOID Find(const std::u16string& canonical) {
    if (canonical == u"\\") return g_root;
    const auto it = Names().find(Key(canonical));
    return it == Names().end() ? nullptr : it->second;
}

PVOID Referenced(PVOID body) {
    HeaderOf(body)->pointer_count.fetch_add(1);
    return body;
}

}  // namespace

const char* KindName(ObjectKind kind) {
    switch (kind) {
        case ObjectKind::Directory: return "directory";
        case ObjectKind::SymbolicLink: return "link";
        case ObjectKind::Driver: return "driver";
        case ObjectKind::Device: return "device";
        case ObjectKind::File: return "file";
        case ObjectKind::Event: return "event";
    }
    return "object";
}

PVOID CreateObject(ObjectKind kind, std::size_t body_size) {
    auto* block = static_cast<BYTE*>(::operator new(kHeaderSpace + body_size, std::align_val_t(16)));
    auto* header = new (block) ObjectHeader;
    header->kind = kind;
    header->body_size = body_size;
    std::memset(block + kHeaderSpace, 0, body_size);
    std::lock_guard lock(RegistryLock());
    Registry().insert(header);
    return block + kHeaderSpace;
}

ObjectHeader* HeaderOf(PVOID body) {
    if (!body) return nullptr;
    auto* header = reinterpret_cast<ObjectHeader*>(static_cast<BYTE*>(body) - kHeaderSpace);
    return header->magic == ObjectHeader::kMagic ? header : nullptr;
}

ObjectHeader* HeaderOfOrBugCheck(PVOID body, const char* routine) {
    ObjectHeader* header = HeaderOf(body);
    if (!header) BugCheck(OBJECT_REFERENCE_ERROR, std::string(routine) + ": not a kernel object");
    return header;
}

void DestroyObject(PVOID body) {
    ObjectHeader* header = HeaderOf(body);
    // on_delete may revive the object for work that ends with a release of
    // its own (a file's close) and that work may end before on_delete
    // returns: the hold keeps that release from freeing the object under us.
    // An on_delete that leaves a successor runs it once the object is free.
    while (auto* on_delete = header->on_delete) {
        header->pointer_count.fetch_add(1);
        on_delete(body);
        if (header->pointer_count.fetch_sub(1) > 1) return;  // revived: its last release comes back here
        if (header->on_delete == on_delete) break;
    }
    {
        std::lock_guard lock(RegistryLock());
        Registry().erase(header);
    }
    FreeObject(header);
}

NTSTATUS Lookup(const std::u16string& path, bool follow_final_link, LookupResult* result) {
    std::lock_guard lock(NamespaceLock());
    std::u16string current = path;
    for (int reparse = 0; reparse < kMaxReparse; ++reparse) {
        if (current.empty() || current[0] != u'\\') return STATUS_OBJECT_PATH_SYNTAX_BAD;
        if (current == u"\\") {
            result->object = Referenced(g_root);
            return STATUS_SUCCESS;
        }
        std::u16string prefix;
        std::size_t pos = 1;
        bool reparsed = false;
        while (!reparsed) {
            const std::size_t next = current.find(u'\\', pos);
            const bool last = next == std::u16string::npos;
            const std::u16string component = current.substr(pos, last ? std::u16string::npos : next - pos);
            if (component.empty()) return STATUS_OBJECT_NAME_INVALID;
            prefix += u'\\' + component;
            PVOID object = Find(prefix);
            if (!object) return last ? STATUS_OBJECT_NAME_NOT_FOUND : STATUS_OBJECT_PATH_NOT_FOUND;
            ObjectHeader* header = HeaderOf(object);
            if (header->kind == ObjectKind::SymbolicLink && (!last || follow_final_link)) {
                current = header->link_target + (last ? u"" : current.substr(next));
                reparsed = true;
                continue;
            }
            if (last) {
                result->object = Referenced(object);
                return STATUS_SUCCESS;
            }
            if (header->kind == ObjectKind::Device) {
                result->object = Referenced(object);
                result->remainder = current.substr(next);
                return STATUS_SUCCESS;
            }
            if (header->kind != ObjectKind::Directory) return STATUS_OBJECT_PATH_NOT_FOUND;
            pos = next + 1;
        }
    }
    return STATUS_OBJECT_PATH_NOT_FOUND;
}

NTSTATUS InsertName(PVOID body, const std::u16string& name) {
    if (name.size() < 2 || name[0] != u'\\' || name.back() == u'\\') return STATUS_OBJECT_NAME_INVALID;
    std::lock_guard lock(NamespaceLock());
    LookupResult parent;
    const NTSTATUS status = Lookup(ParentOf(name), true, &parent);
    if (!NT_SUCCESS(status)) return STATUS_OBJECT_PATH_NOT_FOUND;
    ObjectHeader* parent_header = HeaderOf(parent.object);
    const bool is_directory = parent_header->kind == ObjectKind::Directory && parent.remainder.empty();
    const std::u16string parent_name = parent.object == g_root ? u"" : parent_header->name;
    ObfDereferenceObject(parent.object);
    if (!is_directory) return STATUS_OBJECT_PATH_NOT_FOUND;
    const std::u16string canonical = parent_name + name.substr(name.rfind(u'\\'));
    if (Find(canonical)) return STATUS_OBJECT_NAME_COLLISION;
    Names().emplace(Key(canonical), Referenced(body));
    HeaderOf(body)->name = canonical;
    return STATUS_SUCCESS;
}

void RemoveName(PVOID body) {
    ObjectHeader* header = HeaderOf(body);
    {
        std::lock_guard lock(NamespaceLock());
        if (header->name.empty()) return;
        const auto it = Names().find(Key(header->name));
        if (it == Names().end() || it->second != body) return;
        Names().erase(it);
    }
    ObfDereferenceObject(body);
}

namespace {

struct KernelHandleEntry {
    PVOID object;
    ACCESS_MASK granted;
};

std::mutex g_handleLock;
std::map<std::uintptr_t, KernelHandleEntry> g_handles;  // guarded by g_handleLock
std::uintptr_t g_nextHandle = 0x80000004;  // kernel handles carry the top bit, as on x86

}  // namespace

HANDLE InsertKernelHandle(PVOID referenced_object, ACCESS_MASK granted) {
    std::lock_guard lock(g_handleLock);
    const std::uintptr_t value = g_nextHandle;
    g_nextHandle += 4;
    g_handles.emplace(value, KernelHandleEntry{referenced_object, granted});
    return reinterpret_cast<HANDLE>(value);
}

NTSTATUS ReferenceKernelHandle(HANDLE handle, PVOID* object, ACCESS_MASK* granted) {
    std::lock_guard lock(g_handleLock);
    const auto it = g_handles.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == g_handles.end()) return STATUS_INVALID_HANDLE;
    *object = Referenced(it->second.object);
    *granted = it->second.granted;
    return STATUS_SUCCESS;
}

NTSTATUS CloseKernelHandle(HANDLE handle) {
    PVOID object = nullptr;
    {
        std::lock_guard lock(g_handleLock);
        const auto it = g_handles.find(reinterpret_cast<std::uintptr_t>(handle));
        if (it == g_handles.end()) return STATUS_INVALID_HANDLE;
        object = it->second.object;
        g_handles.erase(it);
    }
    ObfDereferenceObject(object);
    return STATUS_SUCCESS;
}

namespace {

void CreateStandardDirectory(const std::u16string& name) {
    PVOID dir = CreateObject(ObjectKind::Directory, 0);
    InsertName(dir, name);
    ObfDereferenceObject(dir);
}

}  // namespace

void ResetObjects(bool filters_directory) {
    {
        std::lock_guard lock(g_handleLock);
        g_handles.clear();
    }
    std::unordered_set<ObjectHeader*> discarded;
    {
        std::lock_guard lock(RegistryLock());
        discarded.swap(Registry());
    }
    std::lock_guard lock(NamespaceLock());
    Names().clear();
    for (ObjectHeader* header : discarded) {
        if (header->on_discard) header->on_discard(reinterpret_cast<BYTE*>(header) + kHeaderSpace);
        FreeObject(header);
    }
    g_root = CreateObject(ObjectKind::Directory, 0);
    HeaderOf(g_root)->name = u"\\";
    for (const char16_t* dir : {u"\\Device", u"\\Driver", u"\\FileSystem", u"\\??", u"\\ObjectTypes"})
        CreateStandardDirectory(dir);
    if (filters_directory) CreateStandardDirectory(u"\\FileSystem\\Filters");
    PVOID dos = CreateObject(ObjectKind::SymbolicLink, 0);
    HeaderOf(dos)->link_target = u"\\??";
    InsertName(dos, u"\\DosDevices");
    ObfDereferenceObject(dos);
}

}  // namespace kern::detail

namespace kern {

using namespace detail;

NTSTATUS CreateDirectoryPath(const std::u16string& path) {
    std::size_t pos = 1;
    while (pos <= path.size()) {
        std::size_t next = path.find(u'\\', pos);
        if (next == std::u16string::npos) next = path.size();
        const std::u16string prefix = path.substr(0, next);
        LookupResult found;
        if (NT_SUCCESS(Lookup(prefix, true, &found))) {
            ObfDereferenceObject(found.object);
        } else {
            PVOID dir = CreateObject(ObjectKind::Directory, 0);
            const NTSTATUS status = InsertName(dir, prefix);
            ObfDereferenceObject(dir);
            if (!NT_SUCCESS(status)) return status;
        }
        pos = next + 1;
    }
    return STATUS_SUCCESS;
}

NTSTATUS LookupObject(const std::u16string& path, PVOID* object, std::u16string* remainder) {
    LookupResult result;
    const NTSTATUS status = Lookup(path, true, &result);
    if (!NT_SUCCESS(status)) return status;
    *object = result.object;
    if (remainder) *remainder = result.remainder;
    return STATUS_SUCCESS;
}

std::u16string ResolveLinkChain(const std::u16string& path) {
    std::u16string current = path;
    for (int i = 0; i < kMaxReparse; ++i) {
        LookupResult result;
        if (!NT_SUCCESS(Lookup(current, false, &result))) return current;
        ObjectHeader* header = HeaderOf(result.object);
        const bool is_link = header->kind == ObjectKind::SymbolicLink && result.remainder.empty();
        const std::u16string target = header->link_target;
        ObfDereferenceObject(result.object);
        if (!is_link) return current;
        current = target;
    }
    return current;
}

std::u16string ObjectName(PVOID object) {
    ObjectHeader* header = HeaderOf(object);
    return header ? header->name : std::u16string();
}

std::vector<std::string> DumpNamespace() {
    std::lock_guard lock(NamespaceLock());
    std::vector<std::string> lines;
    for (const auto& [key, object] : Names()) {
        ObjectHeader* header = HeaderOf(object);
        std::string line = plat::Utf16ToUtf8(header->name) + "  " + KindName(header->kind);
        if (header->kind == ObjectKind::SymbolicLink) line += " -> " + plat::Utf16ToUtf8(header->link_target);
        lines.push_back(std::move(line));
    }
    return lines;
}

std::u16string ToU16(PCUNICODE_STRING s) {
    if (!s || !s->Buffer) return {};
    return std::u16string(s->Buffer, s->Length / sizeof(WCHAR));
}

}  // namespace kern

extern "C" {

LONG_PTR ObfReferenceObject(PVOID object) {
    return kern::detail::HeaderOfOrBugCheck(object, "ObfReferenceObject")->pointer_count.fetch_add(1) + 1;
}

LONG_PTR ObfDereferenceObject(PVOID object) {
    auto* header = kern::detail::HeaderOfOrBugCheck(object, "ObfDereferenceObject");
    const long count = header->pointer_count.fetch_sub(1) - 1;
    if (count < 0) kern::BugCheck(OBJECT_REFERENCE_ERROR, "ObfDereferenceObject: reference count below zero");
    if (count == 0) kern::detail::DestroyObject(object);
    return count;
}

NTSTATUS ObQueryNameString(PVOID object, POBJECT_NAME_INFORMATION info, ULONG length, PULONG return_length) {
    kern::RequireIrqlAtMost(APC_LEVEL, "ObQueryNameString");
    const std::u16string name = kern::detail::HeaderOfOrBugCheck(object, "ObQueryNameString")->name;
    const ULONG bytes = ULONG(name.size() * sizeof(WCHAR));
    const ULONG needed = ULONG(sizeof(OBJECT_NAME_INFORMATION)) + bytes + sizeof(WCHAR);
    if (return_length) *return_length = needed;
    if (length < needed) return STATUS_INFO_LENGTH_MISMATCH;
    auto* chars = reinterpret_cast<WCHAR*>(info + 1);
    std::memcpy(chars, name.data(), bytes);
    chars[name.size()] = 0;
    info->Name.Buffer = chars;
    info->Name.Length = static_cast<USHORT>(bytes);
    info->Name.MaximumLength = static_cast<USHORT>(bytes + sizeof(WCHAR));
    return STATUS_SUCCESS;
}

NTSTATUS ZwOpenSymbolicLinkObject(PHANDLE link_handle, ACCESS_MASK desired_access, POBJECT_ATTRIBUTES attributes) {
    kern::RequireIrqlAtMost(APC_LEVEL, "ZwOpenSymbolicLinkObject");
    if (!link_handle || !attributes || !attributes->ObjectName) return STATUS_INVALID_PARAMETER;
    kern::detail::LookupResult found;
    const NTSTATUS status = kern::detail::Lookup(kern::ToU16(attributes->ObjectName), false, &found);
    if (!NT_SUCCESS(status)) return status;
    if (kern::detail::HeaderOf(found.object)->kind != kern::detail::ObjectKind::SymbolicLink ||
        !found.remainder.empty()) {
        ObfDereferenceObject(found.object);
        return STATUS_OBJECT_TYPE_MISMATCH;
    }
    *link_handle = kern::detail::InsertKernelHandle(found.object, desired_access);
    return STATUS_SUCCESS;
}

NTSTATUS ZwQuerySymbolicLinkObject(HANDLE link_handle, PUNICODE_STRING target, PULONG returned_length) {
    kern::RequireIrqlAtMost(APC_LEVEL, "ZwQuerySymbolicLinkObject");
    PVOID object = nullptr;
    ACCESS_MASK granted = 0;
    NTSTATUS status = kern::detail::ReferenceKernelHandle(link_handle, &object, &granted);
    if (!NT_SUCCESS(status)) return status;
    auto* header = kern::detail::HeaderOf(object);
    if (header->kind != kern::detail::ObjectKind::SymbolicLink) {
        ObfDereferenceObject(object);
        return STATUS_OBJECT_TYPE_MISMATCH;
    }
    const std::u16string text = header->link_target;
    ObfDereferenceObject(object);
    const ULONG bytes = ULONG(text.size() * sizeof(WCHAR));
    const ULONG with_terminator = bytes + sizeof(WCHAR);
    if (returned_length) *returned_length = with_terminator;
    if (bytes > target->MaximumLength) return STATUS_BUFFER_TOO_SMALL;
    std::memcpy(target->Buffer, text.data(), bytes);
    target->Length = static_cast<USHORT>(bytes);
    if (with_terminator <= target->MaximumLength) target->Buffer[text.size()] = 0;
    return STATUS_SUCCESS;
}

NTSTATUS ZwClose(HANDLE handle) {
    kern::RequireIrqlAtMost(APC_LEVEL, "ZwClose");
    return kern::detail::CloseKernelHandle(handle);
}

}  // extern "C"
