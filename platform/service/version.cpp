#include "service/version.h"

#include <atomic>

namespace {

std::atomic<DWORD> g_version{0};  // 0: the default version

DWORD Pack(plat::WindowsVersion v) { return DWORD(v.major) | (DWORD(v.minor) << 8) | (DWORD(v.build & 0x7FFF) << 16); }

plat::WindowsVersion Unpack(DWORD packed) {
    return {LOBYTE(LOWORD(packed)), HIBYTE(LOWORD(packed)), HIWORD(packed)};
}

}  // namespace

DWORD GetVersion() {
    const DWORD v = g_version.load();
    return v ? v : Pack(plat::WindowsVersion{});
}

namespace plat {

ScopedReportedVersion::ScopedReportedVersion(WindowsVersion version) : m_previous(Unpack(GetVersion())) {
    g_version.store(Pack(version));
}

ScopedReportedVersion::~ScopedReportedVersion() { g_version.store(Pack(m_previous)); }

}  // namespace plat
