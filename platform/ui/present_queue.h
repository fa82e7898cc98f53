// Presentation coalesced per top-level window. While a thread runs through
// its WM_PAINT messages (a window and then each of its controls), what the
// paints draw is not shown piece by piece: the drawn areas of each
// top-level window are collected and shown in one presentation of their
// bounds when the thread next takes a message that is not a paint, or waits
// for one. Drawing outside such a run (GetDC from another thread, a paint
// sent directly) is shown at once, as before.
#pragma once

#include <memory>

#include "ui/bitmap.h"
#include "ui/ui_constants.h"

namespace plat::ui {

// The calling thread takes a WM_PAINT from its queue: a run starts, or goes on.
void BeginPaintRun();
// Shows what the run collected and ends it (nothing when no run is on).
void EndPaintRun();
// Shows `area` (window coordinates) of `top`'s surface now, or at the end of
// this thread's paint run.
void PresentArea(HWND top, const std::shared_ptr<Bitmap>& surface, const RECT& area);

}  // namespace plat::ui
