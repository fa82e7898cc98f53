#include "ProcessAffinity.h"

#include <sched.h>
#include <sys/types.h>

#include <cstdlib>
#include <filesystem>

namespace gui {

int LowestAllowedProcessor() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0) return -1;
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
        if (CPU_ISSET(cpu, &set)) return cpu;
    return -1;
}

// Linux keeps affinity per thread, so the set goes to every thread the
// process has now; threads started later inherit it from their creator.
bool PinToLowestProcessor() {
    const int cpu = LowestAllowedProcessor();
    if (cpu < 0) return false;
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    bool all = true;
    std::error_code ec;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", ec)) {
        const pid_t tid = pid_t(std::atol(task.path().filename().c_str()));
        if (tid > 0 && sched_setaffinity(tid, sizeof set, &set) != 0) all = false;
    }
    return !ec && all;
}

}  // namespace gui
