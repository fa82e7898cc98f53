// Monitors, work areas and system metrics, from the backend's monitor list.
// An HMONITOR is the monitor's index plus one in that list.
#pragma once

#include "ui/ui_constants.h"

namespace plat::ui {

RECT PrimaryWorkArea();
RECT PrimaryMonitorRect();
RECT VirtualScreen();

}  // namespace plat::ui

HMONITOR MonitorFromRect(const RECT* rect, DWORD flags);
HMONITOR MonitorFromPoint(POINT point, DWORD flags);
HMONITOR MonitorFromWindow(HWND hwnd, DWORD flags);
BOOL GetMonitorInfoW(HMONITOR monitor, MONITORINFO* info);
int GetSystemMetrics(int index);
// SPI_GETWORKAREA only: the primary monitor's work area into a RECT.
BOOL SystemParametersInfoW(UINT action, UINT param, LPVOID value, UINT flags);
UINT GetDoubleClickTime();
