#include "service/service_database.h"

#include <signal.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "registry/registry.h"

namespace plat::service::detail {
namespace {

constexpr char16_t kRuntimeKey[] = u"Runtime";
constexpr char16_t kStatusValue[] = u"Status";
constexpr std::size_t kMaxServiceName = 256;

// Closes an opened key when it goes out of scope.
class Key {
public:
    Key() = default;
    ~Key() {
        if (m_key) RegCloseKey(m_key);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY* Out() { return &m_key; }
    HKEY Get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

std::u16string ServicePath(std::u16string_view name) {
    return std::u16string(kServicesKey) + u'\\' + std::u16string(name);
}

LONG OpenService(std::u16string_view name, REGSAM access, Key& key) {
    const LONG rc = RegOpenKeyExW(HKEY_LOCAL_MACHINE, ServicePath(name).c_str(), 0, access, key.Out());
    return rc == ERROR_FILE_NOT_FOUND ? LONG(ERROR_SERVICE_DOES_NOT_EXIST) : rc;
}

LONG SetDword(HKEY key, const char16_t* name, DWORD value) {
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

LONG SetText(HKEY key, const char16_t* name, DWORD type, const std::u16string& text) {
    const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(char16_t));
    return RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()), bytes);
}

LONG GetDword(HKEY key, const char16_t* name, DWORD* value) {
    DWORD type = 0, size = sizeof *value;
    const LONG rc = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    return rc == ERROR_SUCCESS && type != REG_DWORD ? LONG(ERROR_BADKEY) : rc;
}

LONG GetText(HKEY key, const char16_t* name, std::u16string* text) {
    DWORD type = 0, size = 0;
    LONG rc = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
    if (rc != ERROR_SUCCESS) return rc;
    std::vector<char16_t> buffer(size / sizeof(char16_t) + 1, u'\0');
    rc = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size);
    if (rc != ERROR_SUCCESS) return rc;
    *text = std::u16string(buffer.data());
    return ERROR_SUCCESS;
}

LONG WriteValues(HKEY key, const ServiceConfig& c) {
    for (auto [name, value] : {std::pair{u"Type", c.type}, {u"Start", c.start}, {u"ErrorControl", c.errorControl}})
        if (const LONG rc = SetDword(key, name, value)) return rc;
    struct Text {
        const char16_t* name;
        DWORD type;
        const std::u16string* text;
    };
    const Text texts[] = {{u"ImagePath", REG_EXPAND_SZ, &c.imagePath},
                          {u"DisplayName", REG_SZ, &c.displayName},
                          {u"ObjectName", REG_SZ, &c.account},
                          {u"Unit", REG_SZ, &c.unit}};
    for (const Text& t : texts)
        if (const LONG rc = SetText(key, t.name, t.type, *t.text)) return rc;
    return ERROR_SUCCESS;
}

void PutDword(BYTE* at, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) at[i] = static_cast<BYTE>(value >> (8 * i));
}

std::uint64_t TakeDword(const BYTE* at, int bytes) {
    std::uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | at[i];
    return v;
}

// SERVICE_STATUS_PROCESS order: the seven status fields, the process id, the
// flags (0), then the process's start time; little-endian.
std::array<BYTE, kStatusRecordBytes> Serialize(const StatusRecord& r) {
    const SERVICE_STATUS& s = r.status;
    const DWORD fields[] = {s.dwServiceType,   s.dwCurrentState, s.dwControlsAccepted, s.dwWin32ExitCode,
                            s.dwServiceSpecificExitCode, s.dwCheckPoint, s.dwWaitHint, r.processId, 0};
    std::array<BYTE, kStatusRecordBytes> bytes{};
    for (std::size_t i = 0; i < std::size(fields); ++i) PutDword(&bytes[4 * i], fields[i], 4);
    PutDword(&bytes[36], r.processStart, 8);
    return bytes;
}

StatusRecord Deserialize(const std::array<BYTE, kStatusRecordBytes>& b) {
    StatusRecord r;
    DWORD* fields[] = {&r.status.dwServiceType,   &r.status.dwCurrentState, &r.status.dwControlsAccepted,
                       &r.status.dwWin32ExitCode, &r.status.dwServiceSpecificExitCode,
                       &r.status.dwCheckPoint,    &r.status.dwWaitHint,     &r.processId};
    for (std::size_t i = 0; i < std::size(fields); ++i) *fields[i] = static_cast<DWORD>(TakeDword(&b[4 * i], 4));
    r.processStart = TakeDword(&b[36], 8);
    return r;
}

}  // namespace

DWORD CheckServiceName(std::u16string_view name) {
    if (name.empty() || name.size() > kMaxServiceName || name.find_first_of(u"\\/") != std::u16string_view::npos)
        return ERROR_INVALID_NAME;
    return ERROR_SUCCESS;
}

DWORD CheckWritable() {
    Key key;
    return RegCreateKeyExW(HKEY_LOCAL_MACHINE, kServicesKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                           nullptr, key.Out(), nullptr);
}

DWORD ReadConfig(std::u16string_view name, ServiceConfig* c) {
    Key key;
    if (const LONG rc = OpenService(name, KEY_READ, key)) return rc;
    // A key without a type is not a service (the event-log sources live here too).
    if (GetDword(key.Get(), u"Type", &c->type) != ERROR_SUCCESS) return ERROR_SERVICE_DOES_NOT_EXIST;
    GetDword(key.Get(), u"Start", &c->start);
    GetDword(key.Get(), u"ErrorControl", &c->errorControl);
    GetText(key.Get(), u"ImagePath", &c->imagePath);
    GetText(key.Get(), u"DisplayName", &c->displayName);
    GetText(key.Get(), u"ObjectName", &c->account);
    GetText(key.Get(), u"Unit", &c->unit);
    c->name = name;
    return ERROR_SUCCESS;
}

DWORD CreateConfig(const ServiceConfig& config) {
    ServiceConfig existing;
    if (ReadConfig(config.name, &existing) == ERROR_SUCCESS) return ERROR_SERVICE_EXISTS;
    Key key;
    if (const LONG rc = RegCreateKeyExW(HKEY_LOCAL_MACHINE, ServicePath(config.name).c_str(), 0, nullptr,
                                        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key.Out(), nullptr))
        return rc;
    if (const LONG rc = WriteValues(key.Get(), config)) {
        DeleteConfig(config.name);
        return rc;
    }
    return ERROR_SUCCESS;
}

DWORD DeleteConfig(std::u16string_view name) {
    const LONG rc = RegDeleteTreeW(HKEY_LOCAL_MACHINE, ServicePath(name).c_str());
    return rc == ERROR_FILE_NOT_FOUND ? ERROR_SERVICE_DOES_NOT_EXIST : rc;
}

DWORD WriteStatus(std::u16string_view name, const StatusRecord& record) {
    Key service;
    if (const LONG rc = OpenService(name, KEY_CREATE_SUB_KEY, service)) return rc;
    Key runtime;
    if (const LONG rc = RegCreateKeyExW(service.Get(), kRuntimeKey, 0, nullptr, REG_OPTION_VOLATILE, KEY_SET_VALUE,
                                        nullptr, runtime.Out(), nullptr))
        return rc;
    const auto bytes = Serialize(record);
    return RegSetValueExW(runtime.Get(), kStatusValue, 0, REG_BINARY, bytes.data(), bytes.size());
}

std::optional<StatusRecord> ReadStatus(std::u16string_view name) {
    Key runtime;
    const std::u16string path = ServicePath(name) + u'\\' + kRuntimeKey;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, runtime.Out()) != ERROR_SUCCESS)
        return std::nullopt;
    std::array<BYTE, kStatusRecordBytes> bytes{};
    DWORD type = 0, size = bytes.size();
    if (RegQueryValueExW(runtime.Get(), kStatusValue, nullptr, &type, bytes.data(), &size) != ERROR_SUCCESS ||
        type != REG_BINARY || size != bytes.size())
        return std::nullopt;
    return Deserialize(bytes);
}

std::uint64_t ProcessStartTime(DWORD pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(in, line)) return 0;
    // Field 22 (starttime); the command name (field 2) may hold blanks and
    // parentheses, so count from the last ')'.
    const auto close = line.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream fields(line.substr(close + 1));
    std::string field;
    for (int i = 3; i <= 22 && fields >> field; ++i)
        if (i == 22) return std::strtoull(field.c_str(), nullptr, 10);
    return 0;
}

bool ProcessAlive(DWORD pid, std::uint64_t start) {
    if (pid == 0 || (kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM)) return false;
    return start == 0 || ProcessStartTime(pid) == start;
}

}  // namespace plat::service::detail
