// Kernel host scenarios: JSON that describes the simulated machine. A bad
// scenario must be refused with a message naming the field.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "kernel/sim/scenario.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kern::sim::MachineSpec spec;
    std::string error;
    if (!kern::sim::ParseScenario(std::string(reinterpret_cast<const char*>(data), size), &spec, &error) &&
        error.empty())
        std::abort();
    return 0;
}
