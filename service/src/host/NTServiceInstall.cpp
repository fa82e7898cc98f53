// The service program's command line: installation status, installing and
// removing the service.
#include "NTService.h"

#include "base/clock.h"
#include "base/format.h"
#include "base/last_error.h"
#include "base/text.h"
#include "base/executable_path.h"
#include "registry/registry.h"

namespace {

constexpr char16_t kEventLogKey[] = u"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application";
constexpr DWORD kRemovePollMs = 100;

// Closes a manager or service handle, keeping the thread's last error.
class ScHandle {
public:
    explicit ScHandle(SC_HANDLE handle) : m_handle(handle) {}
    ~ScHandle() {
        if (!m_handle) return;
        const DWORD error = GetLastError();
        CloseServiceHandle(m_handle);
        SetLastError(error);
    }
    ScHandle(const ScHandle&) = delete;
    ScHandle& operator=(const ScHandle&) = delete;
    SC_HANDLE Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }

private:
    SC_HANDLE m_handle;
};

ScHandle OpenManager() { return ScHandle(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)); }

// The option name of an argument ("-v", "/SERVICE"), or empty for a plain one.
std::u16string_view OptionName(const WCHAR* argument) {
    if (!argument || (argument[0] != u'-' && argument[0] != u'/')) return {};
    return std::u16string_view(argument + 1);
}

void DeleteEventSource(const WCHAR* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kEventLogKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    RegDeleteKeyW(key, name);
    RegCloseKey(key);
}

}  // namespace

BOOL CNTService::QueryInstalled() {
    const ScHandle manager = OpenManager();
    if (!manager) return FALSE;
    const ScHandle service(OpenServiceW(manager.Get(), m_szServiceName, SERVICE_QUERY_CONFIG));
    return service ? TRUE : FALSE;
}

BOOL CNTService::InstallService() {
    const std::u16string path = plat::ExecutablePath();
    const ScHandle manager = OpenManager();
    if (!manager) return FALSE;
    const ScHandle service(CreateServiceW(
        manager.Get(), m_szServiceName, m_szServiceName, SERVICE_ALL_ACCESS,
        SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
        path.c_str(), nullptr, nullptr, nullptr, m_Account ? m_Account->c_str() : nullptr,
        m_Password ? m_Password->c_str() : nullptr));
    if (!service) return FALSE;
    if (m_installStep) m_installStep();
    return TRUE;
}

BOOL CNTService::RemoveService() {
    const ScHandle manager = OpenManager();
    if (!manager) return FALSE;
    BOOL removed = FALSE;
    {
        const ScHandle service(OpenServiceW(manager.Get(), m_szServiceName, SERVICE_ALL_ACCESS));
        SERVICE_STATUS status{};
        if (service && ControlService(service.Get(), SERVICE_CONTROL_STOP, &status)) {
            do {
                Sleep(kRemovePollMs);
            } while (QueryServiceStatus(service.Get(), &status) && status.dwCurrentState == SERVICE_STOP_PENDING);
        }
        removed = service ? DeleteService(service.Get()) : FALSE;
    }
    DeleteEventSource(m_szServiceName);
    return removed;
}

void CNTService::Print(const std::u16string& text) {
    const std::string utf8 = plat::Utf16ToUtf8(text);
    std::fwrite(utf8.data(), 1, utf8.size(), m_out);
    std::fflush(m_out);
}

void CNTService::PrintInstalledState() {
    const bool installed = QueryInstalled();
    Print(plat::Format(u"The %s service is %s installed\n", m_szServiceName, installed ? u"currently" : u"not"));
}

void CNTService::PrintRemoval() {
    if (!QueryInstalled())
        Print(plat::Format(u"%s is not installed\n", m_szServiceName));
    else if (RemoveService())
        Print(plat::Format(u"%s removed.\n", m_szServiceName));
    else
        Print(plat::Format(u"Could not remove %s. Error %d\n", m_szServiceName, GetLastError()));
}

void CNTService::PrintInstallation() {
    if (QueryInstalled())
        Print(plat::Format(u"%s is already installed\n", m_szServiceName));
    else if (InstallService())
        Print(plat::Format(u"%s installed\n", m_szServiceName));
    else
        Print(plat::Format(u"%s failed to install. Error %d\n", m_szServiceName, GetLastError()));
}

BOOL CNTService::ProcessCommandLine(int argc, WCHAR** argv) {
    if (!IsInstance() || argc <= 1 || !argv) return FALSE;
    bool status_asked = false, remove_asked = false, install_asked = false;
    for (int i = 1; i < argc; ++i) {
        const std::u16string_view option = OptionName(argv[i]);
        if (plat::EqualsNoCase(option, u"v")) {
            PrintInstalledState();
            status_asked = true;
        } else if (plat::EqualsNoCase(option, u"UnRegServer")) {
            PrintRemoval();
            remove_asked = true;
        } else if (plat::EqualsNoCase(option, u"Service")) {
            install_asked = true;
        } else if (plat::EqualsNoCase(option, u"User") || plat::EqualsNoCase(option, u"Password")) {
            auto& target = plat::EqualsNoCase(option, u"User") ? m_Account : m_Password;
            if (i + 1 < argc && argv[i + 1]) target = std::u16string(argv[++i]);
        }
    }
    if (install_asked) {
        PrintInstallation();
        return TRUE;
    }
    return status_asked || remove_asked;
}
