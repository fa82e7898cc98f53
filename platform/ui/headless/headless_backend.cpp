#include "ui/headless/headless_backend.h"

#include <cstring>

namespace plat::ui {
namespace {

// Both bitmaps are 32-bit window surfaces.
void CopyArea(const Bitmap& from, Bitmap& to, const RECT& area) {
    const RECT r = Intersect(Intersect(area, from.Bounds()), to.Bounds());
    for (int y = r.top; y < r.bottom; ++y)
        std::memcpy(to.Row(y) + r.left * 4, from.Row(y) + r.left * 4, std::size_t(Width(r)) * 4);
}

}  // namespace

HeadlessBackend::HeadlessBackend() {
    m_monitors.push_back(MonitorDesc{RECT{0, 0, 1920, 1080}, RECT{0, 0, 1920, 1040}, true});
}

std::vector<MonitorDesc> HeadlessBackend::Monitors() {
    std::lock_guard lock(m_mutex);
    return m_monitors;
}

void HeadlessBackend::Created(const NativeWindowState& state) {
    std::lock_guard lock(m_mutex);
    Entry& e = m_windows[state.hwnd];
    e.state = state;
    e.shown = std::make_shared<Bitmap>(Width(state.rect), Height(state.rect), 32);
}

void HeadlessBackend::Destroyed(HWND hwnd) {
    std::lock_guard lock(m_mutex);
    m_windows.erase(hwnd);
    std::erase(m_order, hwnd);
}

void HeadlessBackend::Changed(const NativeWindowState& state, unsigned change_bits) {
    std::lock_guard lock(m_mutex);
    auto it = m_windows.find(state.hwnd);
    if (it == m_windows.end()) return;
    Entry& e = it->second;
    if ((change_bits & kChangeGeometry) &&
        (Width(state.rect) != e.shown->Width() || Height(state.rect) != e.shown->Height())) {
        auto resized = std::make_shared<Bitmap>(Width(state.rect), Height(state.rect), 32);
        CopyArea(*e.shown, *resized, resized->Bounds());
        e.shown = resized;
    }
    e.state = state;
}

void HeadlessBackend::Restack(const std::vector<HWND>& top_to_bottom) {
    std::lock_guard lock(m_mutex);
    m_order = top_to_bottom;
}

void HeadlessBackend::Present(HWND hwnd, const std::shared_ptr<Bitmap>& surface, const RECT& area) {
    std::lock_guard lock(m_mutex);
    auto it = m_windows.find(hwnd);
    if (it == m_windows.end()) return;
    std::lock_guard pixels(surface->Mutex());
    CopyArea(*surface, *it->second.shown, area);
    ++it->second.presents;
}

bool HeadlessBackend::OpacitySupported() {
    std::lock_guard lock(m_mutex);
    return m_opacity;
}

void HeadlessBackend::GrabPointer(HWND top) {
    std::lock_guard lock(m_mutex);
    m_grab = top;
}

HWND HeadlessBackend::PointerGrab() {
    std::lock_guard lock(m_mutex);
    return m_grab;
}

bool HeadlessBackend::ScrollLock() {
    std::lock_guard lock(m_mutex);
    return m_scrollLock;
}

bool HeadlessBackend::SetScrollLock(bool on) {
    std::lock_guard lock(m_mutex);
    m_scrollLock = on;
    return true;
}

void HeadlessBackend::SetMonitors(std::vector<MonitorDesc> monitors) {
    std::lock_guard lock(m_mutex);
    m_monitors = std::move(monitors);
}

void HeadlessBackend::SetOpacitySupported(bool supported) {
    std::lock_guard lock(m_mutex);
    m_opacity = supported;
}

std::size_t HeadlessBackend::PresentCount(HWND hwnd) {
    std::lock_guard lock(m_mutex);
    auto it = m_windows.find(hwnd);
    return it == m_windows.end() ? 0 : it->second.presents;
}

std::optional<NativeWindowState> HeadlessBackend::StateOf(HWND hwnd) {
    std::lock_guard lock(m_mutex);
    auto it = m_windows.find(hwnd);
    if (it == m_windows.end()) return std::nullopt;
    return it->second.state;
}

std::shared_ptr<Bitmap> HeadlessBackend::Capture(HWND hwnd) {
    std::lock_guard lock(m_mutex);
    auto it = m_windows.find(hwnd);
    if (it == m_windows.end()) return nullptr;
    const Entry& e = it->second;
    auto out = std::make_shared<Bitmap>(e.shown->Width(), e.shown->Height(), 32);
    for (int y = 0; y < out->Height(); ++y) {
        for (int x = 0; x < out->Width(); ++x) {
            const bool inside = !e.state.shape || e.state.shape->Contains(POINT{x, y});
            out->Set(x, y, inside ? (e.shown->Get(x, y) | 0xFF000000u) : 0);
        }
    }
    return out;
}

std::shared_ptr<Bitmap> HeadlessBackend::CaptureScreen(COLORREF background) {
    std::vector<HWND> order;
    RECT screen;
    {
        std::lock_guard lock(m_mutex);
        order = m_order;
        screen = m_monitors.empty() ? RECT{} : m_monitors.front().monitor;
    }
    auto out = std::make_shared<Bitmap>(Width(screen), Height(screen), 32);
    const std::uint32_t bg = ArgbFromColorRef(background) | 0xFF000000u;
    for (int y = 0; y < out->Height(); ++y)
        for (int x = 0; x < out->Width(); ++x) out->Set(x, y, bg);
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        auto state = StateOf(*it);
        auto pixels = Capture(*it);
        if (!state || !pixels || !state->visible) continue;
        for (int y = 0; y < pixels->Height(); ++y) {
            for (int x = 0; x < pixels->Width(); ++x) {
                const int sx = state->rect.left + x - screen.left, sy = state->rect.top + y - screen.top;
                const std::uint32_t p = pixels->Get(x, y);
                if ((p >> 24) && out->InBounds(sx, sy)) out->Set(sx, sy, p);
            }
        }
    }
    return out;
}

std::vector<HWND> HeadlessBackend::StackingOrder() {
    std::lock_guard lock(m_mutex);
    return m_order;
}

HeadlessBackend* Headless() { return dynamic_cast<HeadlessBackend*>(&CurrentBackend()); }

}  // namespace plat::ui
