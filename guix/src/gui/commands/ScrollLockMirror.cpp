#include "commands/ScrollLockMirror.h"

#include <mutex>

#include "ui/input.h"

namespace cmd {
namespace {

constexpr BYTE kScrollLockScanCode = 0x45;

std::mutex g_mirrorLock;     // guards g_mirrored and the toggles made for it
bool g_mirrored = false;     // the busy state last shown on Scroll Lock

}  // namespace

void MirrorActivityOnScrollLock(bool keyboard_led, bool any_activity) {
    if (!keyboard_led) return;
    std::lock_guard lock(g_mirrorLock);
    if (any_activity == g_mirrored) return;
    ToggleScrollLock();
    g_mirrored = any_activity;
}

bool ScrollLockIsOn() { return GetKeyState(VK_SCROLL) == 1; }

void ToggleScrollLock() {
    keybd_event(BYTE(VK_SCROLL), kScrollLockScanCode, KEYEVENTF_EXTENDEDKEY, 0);
    keybd_event(BYTE(VK_SCROLL), kScrollLockScanCode, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP, 0);
}

void SwitchScrollLockOff() {
    if (ScrollLockIsOn()) ToggleScrollLock();
}

void FollowScrollLockLight() {
    std::lock_guard lock(g_mirrorLock);
    g_mirrored = (GetKeyState(VK_SCROLL) & 1) != 0;
}

bool MirroredActivity() {
    std::lock_guard lock(g_mirrorLock);
    return g_mirrored;
}

}  // namespace cmd
