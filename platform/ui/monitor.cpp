#include "ui/monitor.h"

#include <algorithm>
#include <climits>

#include "base/last_error.h"
#include "base/win_errors.h"
#include "ui/backend.h"
#include "ui/window.h"
#include "ui/window_pos.h"

using namespace plat::ui;

namespace {

std::vector<MonitorDesc> Monitors() {
    auto list = CurrentBackend().Monitors();
    if (list.empty()) list.push_back(MonitorDesc{RECT{0, 0, 1024, 768}, RECT{0, 0, 1024, 768}, true});
    return list;
}

const MonitorDesc& Primary(const std::vector<MonitorDesc>& list) {
    for (const auto& m : list)
        if (m.primary) return m;
    return list.front();
}

HMONITOR Handle(std::size_t index) { return reinterpret_cast<HMONITOR>(index + 1); }

long long Area(const RECT& r) { return Empty(r) ? 0 : (long long)Width(r) * Height(r); }

// Distance between a rectangle and a monitor, 0 when they touch.
long long Distance(const RECT& r, const RECT& m) {
    const long long dx = std::max({0LL, (long long)m.left - r.right, (long long)r.left - m.right});
    const long long dy = std::max({0LL, (long long)m.top - r.bottom, (long long)r.top - m.bottom});
    return dx * dx + dy * dy;
}

}  // namespace

namespace plat::ui {

RECT PrimaryWorkArea() {
    auto list = Monitors();
    return Primary(list).work;
}

RECT PrimaryMonitorRect() {
    auto list = Monitors();
    return Primary(list).monitor;
}

RECT VirtualScreen() {
    RECT all{};
    for (const auto& m : Monitors()) all = Union(all, m.monitor);
    return all;
}

}  // namespace plat::ui

HMONITOR MonitorFromRect(const RECT* rect, DWORD flags) {
    if (!rect) return nullptr;
    const auto list = Monitors();
    std::size_t best = list.size();
    long long bestArea = 0;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const long long a = Area(Intersect(*rect, list[i].monitor));
        if (a > bestArea) {
            bestArea = a;
            best = i;
        }
    }
    if (best < list.size()) return Handle(best);
    // An empty rectangle on a monitor still belongs to it.
    for (std::size_t i = 0; i < list.size(); ++i)
        if (Contains(list[i].monitor, POINT{rect->left, rect->top})) return Handle(i);
    if (flags == MONITOR_DEFAULTTONULL) return nullptr;
    if (flags == MONITOR_DEFAULTTOPRIMARY) {
        for (std::size_t i = 0; i < list.size(); ++i)
            if (list[i].primary) return Handle(i);
        return Handle(0);
    }
    long long bestDistance = LLONG_MAX;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const long long d = Distance(*rect, list[i].monitor);
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return Handle(best);
}

HMONITOR MonitorFromPoint(POINT point, DWORD flags) {
    const RECT r{point.x, point.y, point.x + 1, point.y + 1};
    return MonitorFromRect(&r, flags);
}

HMONITOR MonitorFromWindow(HWND hwnd, DWORD flags) {
    RECT r;
    if (!GetWindowRect(hwnd, &r)) return nullptr;
    return MonitorFromRect(&r, flags);
}

BOOL GetMonitorInfoW(HMONITOR monitor, MONITORINFO* info) {
    const auto list = Monitors();
    const auto index = reinterpret_cast<std::uintptr_t>(monitor);
    if (!info || info->cbSize < sizeof(MONITORINFO) || index == 0 || index > list.size()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const MonitorDesc& m = list[index - 1];
    info->rcMonitor = m.monitor;
    info->rcWork = m.work;
    info->dwFlags = m.primary ? MONITORINFOF_PRIMARY : 0;
    return TRUE;
}

int GetSystemMetrics(int index) {
    switch (index) {
        case SM_CXSCREEN: return Width(PrimaryMonitorRect());
        case SM_CYSCREEN: return Height(PrimaryMonitorRect());
        case SM_CXFULLSCREEN: return Width(PrimaryWorkArea());
        case SM_CYFULLSCREEN: return Height(PrimaryWorkArea());
        case SM_XVIRTUALSCREEN: return VirtualScreen().left;
        case SM_YVIRTUALSCREEN: return VirtualScreen().top;
        case SM_CXVIRTUALSCREEN: return Width(VirtualScreen());
        case SM_CYVIRTUALSCREEN: return Height(VirtualScreen());
        case SM_CMONITORS: return int(Monitors().size());
        case SM_CXICON:
        case SM_CYICON:
        case SM_CXCURSOR:
        case SM_CYCURSOR: return 32;
        case SM_CXSMICON:
        case SM_CYSMICON: return 16;
        case SM_CXDOUBLECLK:
        case SM_CYDOUBLECLK: return 4;
        case SM_CXDRAG:
        case SM_CYDRAG: return 4;
        case SM_CXBORDER:
        case SM_CYBORDER: return 1;
        case SM_CXDLGFRAME:
        case SM_CYDLGFRAME: return 3;
        case SM_CYCAPTION: return 23;
        case SM_CXVSCROLL:
        case SM_CYHSCROLL: return 17;
        case SM_CMOUSEBUTTONS: return 3;
        default: return 0;
    }
}

BOOL SystemParametersInfoW(UINT action, UINT, LPVOID value, UINT) {
    if (action != SPI_GETWORKAREA || !value) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *static_cast<RECT*>(value) = PrimaryWorkArea();
    return TRUE;
}

UINT GetDoubleClickTime() { return 500; }
