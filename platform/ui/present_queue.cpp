#include "ui/present_queue.h"

#include <map>

#include "ui/rect.h"
#include "ui/window.h"

namespace plat::ui {
namespace {

struct Pending {
    std::shared_ptr<Bitmap> surface;
    RECT area;
};

struct PaintRun {
    bool on = false;
    std::map<HWND, Pending> pending;
};
thread_local PaintRun t_run;

// Shows the area unless the window has gone, is hidden, or was resized since
// (it then has a new surface, which its next paint fills).
void Show(HWND top, const Pending& p) {
    {
        std::lock_guard lock(WindowsMutex());
        auto w = Lookup<Window>(top);
        if (!w || !IsShown(*w) || w->surface != p.surface) return;
    }
    CurrentBackend().Present(top, p.surface, p.area);
}

}  // namespace

void BeginPaintRun() { t_run.on = true; }

void EndPaintRun() {
    if (!t_run.on) return;
    t_run.on = false;
    std::map<HWND, Pending> pending;
    pending.swap(t_run.pending);
    for (const auto& [top, p] : pending) Show(top, p);
}

void PresentArea(HWND top, const std::shared_ptr<Bitmap>& surface, const RECT& area) {
    if (!t_run.on) {
        Show(top, Pending{surface, area});
        return;
    }
    auto [it, added] = t_run.pending.try_emplace(top, Pending{surface, area});
    if (added) return;
    Pending& p = it->second;
    if (p.surface != surface) {  // resized within the run: the new surface is what shows
        p = Pending{surface, area};
        return;
    }
    p.area = Union(p.area, area);
}

}  // namespace plat::ui
