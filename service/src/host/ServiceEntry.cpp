#include "ServiceEntry.h"

#include <clocale>

#include "base/text.h"
#include "service/signal_relay.h"

namespace {

// Without a service control manager the program runs until SIGTERM or
// SIGINT, which stop it the way a system shutdown stops the service.
void RunInForeground(CNTService& service) {
    plat::service::SignalRelay relay({SIGTERM, SIGINT}, [&service](int) { service.RequestStop(); });
    service.Execute();
}

}  // namespace

int RunServiceProcess(CNTService& service, CLog& service_log, const std::vector<std::u16string>& args) {
    if (FAILED(service_log.Init(kServiceName, FALSE, 0, TRUE))) return 0;
    std::setlocale(LC_ALL, "");
    std::vector<std::u16string> copies = args;
    std::vector<WCHAR*> argv;
    for (auto& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int argc = static_cast<int>(copies.size());
    if (service.ProcessCommandLine(argc, argv.data()) || argc > 1) return 0;
    if (service.QueryInstalled())
        service.RunDispatcher();
    else
        RunInForeground(service);
    return static_cast<int>(service.Status().dwWin32ExitCode);
}

int RunServiceProcess(CNTService& service, CLog& service_log, int argc, char** argv) {
    std::vector<std::u16string> args;
    for (int i = 0; i < argc; ++i) args.push_back(plat::Utf8ToUtf16(argv[i]));
    return RunServiceProcess(service, service_log, args);
}
