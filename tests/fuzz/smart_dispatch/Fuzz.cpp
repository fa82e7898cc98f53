// The service's dispatcher answering what clients send, over the real
// engine on the built-in simulated machine. An input is a run of requests,
// each a little-endian u16 length and that many bytes; every request must
// get exactly one response that decodes as a message header. The manual
// clock keeps the drives' server ids the same from run to run, so stored
// inputs can name them.
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "SmartMarshalingServer.h"
#include "base/clock.h"
#include "device/sim_machine.h"
#include "registry/scoped_root.h"

namespace {

struct Service {
    ScopedRoot root;
    plat::ScopedManualClock clock;
    plat::device::ScopedSimulation machine;
    CSmartMarshalingServer server;
};
Service* g_service = nullptr;

void Answer(const uint8_t* bytes, size_t size) {
    CZmArchive request(bytes, static_cast<DWORD>(size));
    CZmArchive response;
    g_service->server.Dispatch(request, response);
    DWORD code = 0;
    DWORD status = 0;
    if (!CSmartMarshalMessage::ReadHeader(response, code, status)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // One service for the whole run, as a real one serves many requests;
    // it goes (saving its history) before the statics it uses.
    g_service = new Service;
    std::atexit([] { delete g_service; });
    const uint8_t enumerate[8] = {};
    Answer(enumerate, sizeof enumerate);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    while (size >= 2) {
        const size_t length = std::min<size_t>(data[0] | data[1] << 8, size - 2);
        Answer(data + 2, length);
        data += 2 + length;
        size -= 2 + length;
    }
    return 0;
}
