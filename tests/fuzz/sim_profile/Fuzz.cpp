// Simulation profiles: JSON a user hands the device layer. A bad profile
// must be refused with a message, never loaded half-way or crash.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "device/sim_machine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string error;
    const auto machine = plat::device::SimMachine::FromText(
        std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.json", &error);
    if (!machine && error.empty()) std::abort();
    return 0;
}
