// sentrak: the S.M.A.R.T. service. Installed, it runs under the service
// control manager; not installed and without arguments it serves in the
// foreground until SIGTERM or SIGINT. It answers the S.M.A.R.T. requests of
// its clients on port SmartServicePort() (50350, or LUMETRA_SMART_PORT) of
// the loopback address (or of LUMETRA_SMART_LISTEN, see ListenAddress.h),
// and says "sentrak: listening on port N (ADDRESS)" on stdout once it does.
// When it cannot listen it says why on stderr and ends with a non-zero exit
// status. Drives it finds but may not use for lack of rights it names on
// stderr, one line each (DriveAccess.h).
#include "DriveAccess.h"
#include "NTService.h"
#include "ProductKey.h"
#include "SentrakServer.h"
#include "ServiceEntry.h"
#include "SmartMarshalingServer.h"
#include "log/Log.h"
#include "marshal/SmartServicePort.h"
#include "sockets/SocketServer.h"

namespace {

// The process-wide objects, constructed in member order and destroyed in
// the reverse: the dispatcher (the engine, which saves its history and ends
// its self-tests) goes first, after Execute has stopped the socket server;
// the log goes last, so everything writing to it while it ends finds it.
struct ServiceProcess {
    CLog serviceLog;
    CNTService service{kServiceName, &control};
    WORD port = SmartServicePort();
    CSocketServer server{port};
    SentrakServer control{server, dispatcher, port, ListenSettingFromEnvironment()};
    CSmartMarshalingServer dispatcher;

    ServiceProcess() {
        server.SetDispatcher([this](CZmArchive& request, CZmArchive& response) {
            dispatcher.Dispatch(request, response);
        });
        // What an installer does besides registering the service: the key
        // below which the service keeps the drives' history.
        service.SetInstallStep(CreateProductKey);
        SayWhenDrivesRefuseAccess();
    }
};

}  // namespace

int main(int argc, char** argv) {
    ServiceProcess process;
    return RunServiceProcess(process.service, process.serviceLog, argc, argv);
}
