#include "DriveAccess.h"

#include <cstdio>
#include <cstring>

#include "device/linux_backend.h"

std::string DriveAccessLine(const plat::device::AccessRefusal& refusal) {
    const std::string why = std::strerror(refusal.error);
    if (refusal.opened)
        return "sentrak: no access to " + refusal.node + ": S.M.A.R.T. commands refused (" + why +
               "); they need root or CAP_SYS_RAWIO";
    return "sentrak: no access to " + refusal.node + ": cannot open it (" + why +
           "); it needs root, or read access to the device node and CAP_SYS_RAWIO";
}

void SayWhenDrivesRefuseAccess() {
    plat::device::ReportAccessRefusals([](const plat::device::AccessRefusal& refusal) {
        std::fprintf(stderr, "%s\n", DriveAccessLine(refusal).c_str());
    });
}
