#include "ServiceEntry.h"

#include <clocale>
#include <cstdio>

#include "FailureText.h"
#include "base/last_error.h"
#include "base/text.h"
#include "base/win_errors.h"
#include "service/signal_relay.h"

namespace {

constexpr FailureReason kDispatcherFailures[] = {
    {ERROR_SERVICE_ALREADY_RUNNING, "another process runs it already"},
    {ERROR_SERVICE_DISABLED, "it is disabled"},
    {ERROR_SERVICE_DOES_NOT_EXIST, "it is not installed"},
};

// Without a service control manager the program runs until SIGTERM or
// SIGINT, which stop it the way a system shutdown stops the service.
void RunInForeground(CNTService& service) {
    plat::service::SignalRelay relay({SIGTERM, SIGINT}, [&service](int) { service.RequestStop(); });
    service.Execute();
}

// The dispatcher refuses to run the service; systemd (or whoever started
// the program) learns it from the message and the exit status.
int DispatcherRefused(const CNTService& service) {
    const DWORD error = GetLastError();
    std::fprintf(stderr, "sentrak: cannot run as the %s service: %s\n",
                 plat::Utf16ToUtf8(service.ServiceName()).c_str(), FailureText(error, kDispatcherFailures).c_str());
    return ProcessExitStatus(error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE);
}

}  // namespace

int ProcessExitStatus(DWORD win32_exit_code) {
    if (win32_exit_code == ERROR_SUCCESS) return 0;
    return win32_exit_code <= 255 ? static_cast<int>(win32_exit_code) : 1;
}

int RunServiceProcess(CNTService& service, CLog& service_log, const std::vector<std::u16string>& args) {
    if (FAILED(service_log.Init(kServiceName, FALSE, 0, TRUE))) return 0;
    std::setlocale(LC_ALL, "");
    std::vector<std::u16string> copies = args;
    std::vector<WCHAR*> argv;
    for (auto& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int argc = static_cast<int>(copies.size());
    if (service.ProcessCommandLine(argc, argv.data()) || argc > 1) return 0;
    if (service.QueryInstalled()) {
        if (!service.RunDispatcher()) return DispatcherRefused(service);
    } else {
        RunInForeground(service);
    }
    return ProcessExitStatus(service.Status().dwWin32ExitCode);
}

int RunServiceProcess(CNTService& service, CLog& service_log, int argc, char** argv) {
    std::vector<std::u16string> args;
    for (int i = 0; i < argc; ++i) args.push_back(plat::Utf8ToUtf16(argv[i]));
    return RunServiceProcess(service, service_log, args);
}
