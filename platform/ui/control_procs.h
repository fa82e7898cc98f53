// The built-in controls' window procedures: push buttons (owner-drawn or
// plain), static text, the single-line edit, the list box, the trackbar, the
// animation control and the tooltip.
// Each is registered under its Windows class name by InitCommonControls.
#pragma once

#include "ui/control_types.h"
#include "ui/def_window_proc.h"

namespace plat::ui {

LRESULT ButtonProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp);
LRESULT StaticProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp);
LRESULT EditProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp);
LRESULT ListBoxProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp);
LRESULT TrackbarProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp);
LRESULT AnimateProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp);
LRESULT TooltipProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp);

}  // namespace plat::ui
