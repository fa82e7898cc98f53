// The run-time look-up of advapi32 entry points: the system's code asks for
// "RegisterServiceCtrlHandlerExW" by name because older systems lack it.
#include <cstring>

#include "service/winsvc.h"

namespace plat::service {
namespace {

struct Proc {
    const char* name;
    void* address;
};

const Proc kProcs[] = {
    {"RegisterServiceCtrlHandlerExW", reinterpret_cast<void*>(&RegisterServiceCtrlHandlerExW)},
    {"RegisterServiceCtrlHandlerW", reinterpret_cast<void*>(&RegisterServiceCtrlHandlerW)},
    {"SetServiceStatus", reinterpret_cast<void*>(&SetServiceStatus)},
    {"StartServiceCtrlDispatcherW", reinterpret_cast<void*>(&StartServiceCtrlDispatcherW)},
};

}  // namespace

void* LookupAdvapiProc(const char* name) {
    if (!name) return nullptr;
    for (const Proc& p : kProcs)
        if (std::strcmp(p.name, name) == 0) return p.address;
    return nullptr;
}

}  // namespace plat::service
