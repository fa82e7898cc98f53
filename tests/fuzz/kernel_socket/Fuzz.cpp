// The kernel host's socket as an unprivileged client would use it: the input
// is written to a fresh connection as it stands (frames or garbage, lengths
// that claim more than follows), then the client stops sending and reads
// what the host answers. The host must answer or close, never hang, and go
// on serving: after each input a well-formed request on a second
// connection must be answered, and both sessions must end.
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "kernel/client/wire.h"
#include "kernel/host/kernel_server.h"
#include "kernel/kernel.h"
#include "kernel/sim/machine.h"
#include "kernel/sim/scenario.h"

namespace {

struct Host {
    kern::sim::Machine machine;
    khost::KernelServer server{&machine};
    std::string path;
};
Host* g_host = nullptr;

int Connect() {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    g_host->path.copy(address.sun_path, sizeof address.sun_path - 1);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) std::abort();
    return fd;
}

// Reads until the host closes; false when it stays silent for 10 s. The
// fuzzer's own alarm signal (its per-input time-out check) interrupts these
// calls now and then: an interrupted call is repeated, not taken for an
// answer or for silence.
bool ReadToEnd(int fd) {
    using Clock = std::chrono::steady_clock;
    char buffer[4096];
    auto deadline = Clock::now() + std::chrono::seconds(10);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, int(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready != 1) return false;
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return true;
        deadline = Clock::now() + std::chrono::seconds(10);
    }
}

void WriteAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // the host closed: what it read was enough to refuse
        data += n;
        size -= std::size_t(n);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    kern::ResetKernel();
    kern::SetBugCheckHandler([](ULONG code, const std::string& text) {
        std::fprintf(stderr, "bug check %#lx: %s\n", static_cast<unsigned long>(code), text.c_str());
        std::abort();
    });
    g_host = new Host;  // serves the whole run; stopped before the statics it uses go
    kern::sim::MachineSpec spec = kern::sim::DefaultScenario();
    std::string error;
    const std::string module = BLINKOR_MODULE_PATH;
    if (g_host->machine.Build(spec, module.substr(0, module.rfind('/')), &error) != STATUS_SUCCESS) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::abort();
    }
    g_host->path = "/tmp/lumetra-fuzz-kernel-" + std::to_string(::getpid()) + ".sock";
    if (!g_host->server.Listen(g_host->path, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::abort();
    }
    g_host->server.Start();
    std::atexit([] {
        g_host->server.Stop();
        ::unlink(g_host->path.c_str());
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int fd = Connect();
    WriteAll(fd, data, size);
    ::shutdown(fd, SHUT_WR);
    if (!ReadToEnd(fd)) std::abort();  // the host hangs on this input
    ::close(fd);

    // The host still serves: a drive query on a new connection is answered.
    const int probe = Connect();
    kwire::Frame query{kwire::MessageType::DriveQuery, 1, kwire::Writer().U32('C').Take()};
    kwire::Frame reply;
    if (!kwire::WriteFrame(probe, query) || !kwire::ReadFrame(probe, &reply) || reply.id != 1) std::abort();
    ::close(probe);

    // Both clients have gone, so both sessions end: the host keeps no thread,
    // socket or request of a client that left. Waiting for that also keeps
    // the sessions' last steps out of the leak check that follows an input.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (g_host->server.SessionCount() != 0) {
        if (std::chrono::steady_clock::now() > deadline) std::abort();  // a session outlives its client
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    return 0;
}
