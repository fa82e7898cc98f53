#include "ui/window.h"

#include <utility>
#include <algorithm>
#include <cstring>

#include "base/last_error.h"
#include "base/text.h"
#include "base/thread.h"
#include "base/win_errors.h"
#include "ui/message_queue.h"
#include "ui/monitor.h"
#include "ui/paint.h"
#include "ui/window_hooks.h"
#include "ui/window_internal.h"
#include "ui/window_pos.h"

namespace plat::ui {
namespace {

struct Tree {
    std::recursive_mutex mutex;
    std::vector<HWND> topLevels;
    std::vector<std::shared_ptr<Window>> all;
    HWND desktop = nullptr;
};

Tree& TheTree() {
    static Tree* tree = new Tree;
    return *tree;
}

}  // namespace

std::recursive_mutex& WindowsMutex() { return TheTree().mutex; }
std::vector<HWND>& TopLevelWindows() { return TheTree().topLevels; }
std::vector<std::shared_ptr<Window>> AllWindows() { return TheTree().all; }

std::shared_ptr<Window> GetWindowObject(HWND hwnd) {
    auto w = Lookup<Window>(hwnd);
    if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return w;
}

HWND TopLevelOf(HWND hwnd) {
    auto w = Lookup<Window>(hwnd);
    while (w && w->IsChild()) {
        auto parent = Lookup<Window>(w->parent);
        if (!parent) break;
        w = parent;
    }
    return w ? w->handle : nullptr;
}

POINT ScreenOrigin(const Window& w) {
    POINT p{w.rect.left, w.rect.top};
    for (auto parent = w.IsChild() ? Lookup<Window>(w.parent) : nullptr; parent;
         parent = parent->IsChild() ? Lookup<Window>(parent->parent) : nullptr) {
        p.x += parent->rect.left;
        p.y += parent->rect.top;
    }
    return p;
}

POINT SurfaceOrigin(const Window& w) {
    if (!w.IsChild()) return POINT{0, 0};
    auto parent = Lookup<Window>(w.parent);
    POINT p = parent ? SurfaceOrigin(*parent) : POINT{};
    return POINT{p.x + w.rect.left, p.y + w.rect.top};
}

bool IsShown(const Window& w) {
    if (!w.Visible()) return false;
    if (!w.IsChild()) return true;
    auto parent = Lookup<Window>(w.parent);
    return parent && IsShown(*parent);
}

namespace {

// The window's own area (its rectangle cut by its shape) in surface coordinates.
Region OwnArea(const Window& w) {
    const POINT o = SurfaceOrigin(w);
    Region area(RECT{o.x, o.y, o.x + Width(w.rect), o.y + Height(w.rect)});
    if (w.shape) {
        Region shape = *w.shape;
        shape.Offset(o.x, o.y);
        area = Region::Combine(area, shape, RGN_AND);
    }
    return area;
}

// `visible` cut to what of `parent` shows. A control lying wholly inside its
// parent's rectangle and shape, as most do, is left as it is without
// building the parent's area: this runs for every control on every paint.
Region ClipToParent(const Region& visible, const Window& parent) {
    if (visible.Rects().size() == 1) {
        const RECT v = visible.Rects()[0];
        const POINT o = SurfaceOrigin(parent);
        const RECT area{o.x, o.y, o.x + Width(parent.rect), o.y + Height(parent.rect)};
        if (Intersect(v, area) == v && (!parent.shape || parent.shape->Covers(Offset(v, -o.x, -o.y)))) return visible;
    }
    return Region::Combine(visible, OwnArea(parent), RGN_AND);
}

}  // namespace

Region VisibleRegion(const Window& w, bool clip_children) {
    Region visible = OwnArea(w);
    for (auto parent = w.IsChild() ? Lookup<Window>(w.parent) : nullptr; parent && !visible.IsEmpty();
         parent = parent->IsChild() ? Lookup<Window>(parent->parent) : nullptr)
        visible = ClipToParent(visible, *parent);
    if (clip_children) {
        for (HWND c : w.children) {
            auto child = Lookup<Window>(c);
            if (child && child->Visible()) visible = Region::Combine(visible, OwnArea(*child), RGN_DIFF);
        }
    }
    return visible;
}

NativeWindowState NativeState(const Window& w) {
    NativeWindowState s;
    s.hwnd = w.handle;
    s.rect = w.rect;
    s.visible = w.Visible() && !(w.style & WS_MINIMIZE);
    s.iconic = (w.style & WS_MINIMIZE) != 0;
    s.topmost = (w.exStyle & WS_EX_TOPMOST) != 0;
    s.popup = w.popup;
    s.decorated = (w.style & WS_CAPTION) == WS_CAPTION;
    s.tool = (w.exStyle & WS_EX_TOOLWINDOW) != 0;
    s.icon = Lookup<Icon>(w.iconBig ? w.iconBig : w.iconSmall);
    s.shape = w.shape;
    s.layered = (w.exStyle & WS_EX_LAYERED) != 0;
    s.alpha = s.layered && (w.layeredFlags & LWA_ALPHA) ? w.alpha : 255;
    s.title = w.text;
    s.surface = w.surface;
    return s;
}

void NotifyBackend(HWND hwnd, unsigned change_bits) {
    NativeWindowState state;
    {
        std::lock_guard lock(WindowsMutex());
        auto w = Lookup<Window>(hwnd);
        if (!w || w->IsChild() || w->destroying) return;
        state = NativeState(*w);
    }
    CurrentBackend().Changed(state, change_bits);
}

void NotifyRestack() {
    std::vector<HWND> order;
    {
        std::lock_guard lock(WindowsMutex());
        for (HWND h : TopLevelWindows()) {
            auto w = Lookup<Window>(h);
            if (w && w->Visible()) order.push_back(h);
        }
    }
    CurrentBackend().Restack(order);
}

}  // namespace plat::ui

using namespace plat::ui;

namespace {

// Inserts a new top-level window at the top of its band: topmost windows
// stay above all others.
void InsertTopLevel(HWND hwnd, bool topmost) {
    auto& list = TopLevelWindows();
    auto it = list.begin();
    if (!topmost) {
        while (it != list.end()) {
            auto w = Lookup<Window>(*it);
            if (!w || !(w->exStyle & WS_EX_TOPMOST)) break;
            ++it;
        }
    }
    list.insert(it, hwnd);
}

void Unlink(Window& w) {
    if (w.IsChild()) {
        if (auto parent = Lookup<Window>(w.parent))
            std::erase(parent->children, w.handle);
    } else {
        std::erase(TopLevelWindows(), w.handle);
    }
    std::erase_if(TheTree().all, [&](const std::shared_ptr<Window>& p) { return p.get() == &w; });
}

RECT InitialRect(int x, int y, int width, int height, DWORD style) {
    if (x == CW_USEDEFAULT) {
        // The first free spot of the work area, as a shell would choose it.
        const RECT work = PrimaryWorkArea();
        x = work.left + 40;
        y = work.top + 40;
        if (width == CW_USEDEFAULT && !(style & WS_POPUP)) {
            width = Width(work) / 2;
            height = Height(work) / 2;
        }
    }
    if (width == CW_USEDEFAULT) width = height = 0;
    return RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)};
}

std::shared_ptr<Window> BuildWindow(const std::shared_ptr<WindowClass>& cls, DWORD ex_style, LPCWSTR name,
                                    DWORD style, const RECT& rect, HWND parent, HMENU menu) {
    auto w = std::make_shared<Window>();
    w->cls = cls;
    w->proc = cls->info.lpfnWndProc;
    w->style = style & ~WS_VISIBLE;  // shown at the end of creation
    w->exStyle = ex_style;
    w->text = name ? std::u16string(name) : std::u16string();
    w->rect = rect;
    w->normalRect = rect;
    w->thread = GetCurrentThreadId();
    w->extra.assign(std::size_t(cls->info.cbWndExtra), 0);
    if (style & WS_CHILD) {
        w->parent = parent;
        w->id = LONG_PTR(reinterpret_cast<std::uintptr_t>(menu));
    } else {
        w->owner = parent ? TopLevelOf(parent) : nullptr;
        w->surface = std::make_shared<Bitmap>(Width(rect), Height(rect), 32);
        // Menus and tooltips (save-bits classes, or topmost tool popups) are
        // placed by the program itself, never by a window manager.
        w->popup = (cls->info.style & CS_SAVEBITS) ||
                   ((style & WS_POPUP) && (ex_style & WS_EX_TOOLWINDOW) && (ex_style & WS_EX_TOPMOST));
    }
    return w;
}

bool Link(const std::shared_ptr<Window>& w) {
    std::lock_guard lock(WindowsMutex());
    if (w->IsChild()) {
        auto parent = Lookup<Window>(w->parent);
        if (!parent || parent->destroying) return false;
        parent->children.insert(parent->children.begin(), w->handle);
    } else {
        InsertTopLevel(w->handle, (w->exStyle & WS_EX_TOPMOST) != 0);
    }
    TheTree().all.push_back(w);
    return true;
}

CREATESTRUCTW CreateStructOf(DWORD ex_style, LPCWSTR class_name, LPCWSTR window_name, DWORD style, const RECT& rect,
                             HWND parent, HMENU menu_or_id, HINSTANCE instance, LPVOID param) {
    CREATESTRUCTW cs;
    cs.lpCreateParams = param;
    cs.hInstance = instance;
    cs.hMenu = menu_or_id;
    cs.hwndParent = parent;
    cs.x = rect.left;
    cs.y = rect.top;
    cs.cx = Width(rect);
    cs.cy = Height(rect);
    cs.style = LONG(style);
    cs.lpszName = window_name;
    cs.lpszClass = class_name;
    cs.dwExStyle = ex_style;
    return cs;
}

}  // namespace

HWND CreateWindowExW(DWORD ex_style, LPCWSTR class_name, LPCWSTR window_name, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu_or_id, HINSTANCE instance, LPVOID param) {
    auto cls = FindClass(class_name);
    if (!cls) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    if ((style & WS_CHILD) && !IsWindow(parent)) {
        SetLastError(ERROR_TLW_WITH_WSCHILD);
        return nullptr;
    }
    EnsureCurrentQueue();
    const RECT rect = InitialRect(x, y, width, height, style);
    auto w = BuildWindow(cls, ex_style, window_name, style, rect, parent, menu_or_id);
    const HWND hwnd = static_cast<HWND>(RegisterObject(w));
    w->handle = hwnd;
    if (!Link(w)) {
        RemoveObject(hwnd);
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if (!w->IsChild()) CurrentBackend().Created(NativeState(*w));

    CREATESTRUCTW cs =
        CreateStructOf(ex_style, class_name, window_name, style, rect, parent, menu_or_id, instance, param);
    const LPARAM lp = reinterpret_cast<LPARAM>(&cs);
    if (plat::ui::CreationRefusedByHooks(hwnd, &cs) || !SendMessageW(hwnd, WM_NCCREATE, 0, lp) ||
        SendMessageW(hwnd, WM_CREATE, 0, lp) == -1) {
        DestroyWindow(hwnd);
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!IsWindow(hwnd)) return nullptr;  // destroyed itself while being created
    SendMessageW(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(cs.cx, cs.cy));
    SendMessageW(hwnd, WM_MOVE, 0, MAKELPARAM(cs.x, cs.y));
    if (style & WS_VISIBLE) ShowWindow(hwnd, SW_SHOW);
    return hwnd;
}

namespace {

void DestroyTree(HWND hwnd) {
    std::vector<HWND> children, owned;
    {
        std::lock_guard lock(WindowsMutex());
        auto w = Lookup<Window>(hwnd);
        if (!w) return;
        children = w->children;
        for (const auto& other : TheTree().all)
            if (other->owner == hwnd && !other->destroying) owned.push_back(other->handle);
        for (HWND o : owned) Lookup<Window>(o)->destroying = true;
    }
    for (HWND o : owned) DestroyTree(o);
    SendMessageW(hwnd, WM_DESTROY, 0, 0);
    for (HWND c : children) {
        if (auto child = Lookup<Window>(c)) child->destroying = true;
        DestroyTree(c);
    }
    SendMessageW(hwnd, WM_NCDESTROY, 0, 0);
    bool topLevel = false;
    {
        std::lock_guard lock(WindowsMutex());
        auto w = Lookup<Window>(hwnd);
        if (!w) return;
        topLevel = !w->IsChild();
        Unlink(*w);
    }
    PurgeWindow(hwnd);
    RemoveObject(hwnd);
    if (topLevel) CurrentBackend().Destroyed(hwnd);
}

}  // namespace

BOOL DestroyWindow(HWND hwnd) {
    auto w = GetWindowObject(hwnd);
    if (!w) return FALSE;
    if (w->thread != GetCurrentThreadId()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    {
        std::lock_guard lock(WindowsMutex());
        if (w->destroying) return TRUE;
        w->destroying = true;
    }
    const bool wasVisible = w->Visible();
    ForgetWindowInput(hwnd);
    if (wasVisible) SetVisibleFlag(hwnd, false);
    if (!w->IsChild()) {
        CurrentBackend().Changed(NativeState(*w), kChangeVisibility);
        NotifyRestack();
    }
    DestroyTree(hwnd);
    return TRUE;
}

BOOL IsWindow(HWND hwnd) { return Lookup<Window>(hwnd) != nullptr; }

HWND GetParent(HWND hwnd) {
    auto w = GetWindowObject(hwnd);
    if (!w) return nullptr;
    return w->IsChild() ? w->parent : w->owner;
}

HWND GetAncestor(HWND hwnd, UINT flags) {
    std::lock_guard lock(WindowsMutex());
    auto w = GetWindowObject(hwnd);
    if (!w) return nullptr;
    switch (flags) {
        case GA_PARENT: return w->IsChild() ? w->parent : GetDesktopWindow();
        case GA_ROOT: return TopLevelOf(hwnd);
        case GA_ROOTOWNER: {
            HWND root = TopLevelOf(hwnd);
            for (auto r = Lookup<Window>(root); r && r->owner; r = Lookup<Window>(r->owner)) root = r->owner;
            return root;
        }
        default: return nullptr;
    }
}

HWND GetWindow(HWND hwnd, UINT relation) {
    std::lock_guard lock(WindowsMutex());
    auto w = GetWindowObject(hwnd);
    if (!w) return nullptr;
    const bool desktop = hwnd == GetDesktopWindow();
    if (relation == GW_CHILD) {
        const auto& children = desktop ? TopLevelWindows() : w->children;
        return children.empty() ? nullptr : children.front();
    }
    if (relation == GW_OWNER || desktop) return relation == GW_OWNER ? w->owner : nullptr;
    std::vector<HWND>* siblings = &TopLevelWindows();
    if (w->IsChild()) {
        auto parent = Lookup<Window>(w->parent);
        if (!parent) return nullptr;
        siblings = &parent->children;
    }
    auto it = std::find(siblings->begin(), siblings->end(), hwnd);
    switch (relation) {
        case GW_HWNDFIRST: return siblings->front();
        case GW_HWNDLAST: return siblings->back();
        case GW_HWNDNEXT: return (it == siblings->end() || it + 1 == siblings->end()) ? nullptr : *(it + 1);
        case GW_HWNDPREV: return (it == siblings->begin() || it == siblings->end()) ? nullptr : *(it - 1);
        default: return nullptr;
    }
}

BOOL IsChild(HWND parent, HWND hwnd) {
    std::lock_guard lock(WindowsMutex());
    for (auto w = Lookup<Window>(hwnd); w && w->IsChild(); w = Lookup<Window>(w->parent))
        if (w->parent == parent) return TRUE;
    return FALSE;
}

HWND GetDesktopWindow() {
    static HWND desktop = [] {
        auto w = std::make_shared<Window>();
        w->cls = std::make_shared<WindowClass>();
        w->cls->name = u"#32769";
        w->style = WS_POPUP | WS_VISIBLE | WS_DISABLED;
        w->rect = VirtualScreen();
        auto h = static_cast<HWND>(RegisterPermanentObject(w));
        w->handle = h;
        return h;
    }();
    return desktop;
}

HWND GetDlgItem(HWND dialog, int id) {
    std::lock_guard lock(WindowsMutex());
    auto w = GetWindowObject(dialog);
    if (!w) return nullptr;
    for (HWND c : w->children) {
        auto child = Lookup<Window>(c);
        if (child && child->id == id) return c;
    }
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
}

int GetDlgCtrlID(HWND hwnd) {
    auto w = GetWindowObject(hwnd);
    return w && w->IsChild() ? int(w->id) : 0;
}

DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* process_id) {
    auto w = GetWindowObject(hwnd);
    if (!w) return 0;
    if (process_id) *process_id = GetCurrentProcessId();
    return w->thread;
}

namespace {

// Extra window bytes: the index must leave room for a whole value. Stores
// *value when given and returns what was there (0 on a bad index).
template <typename T>
T ExtraValue(Window& w, int index, const T* value) {
    if (index < 0 || std::size_t(index) + sizeof(T) > w.extra.size()) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    T previous;
    std::memcpy(&previous, w.extra.data() + index, sizeof previous);
    if (value) std::memcpy(w.extra.data() + index, value, sizeof *value);
    return previous;
}

template <typename T>
T ExtraValue(HWND hwnd, int index, const T* value) {
    std::lock_guard lock(WindowsMutex());
    auto w = GetWindowObject(hwnd);
    return w ? ExtraValue<T>(*w, index, value) : 0;
}

}  // namespace

LONG_PTR GetWindowLongPtrW(HWND hwnd, int index) {
    std::lock_guard lock(WindowsMutex());
    auto w = GetWindowObject(hwnd);
    if (!w) return 0;
    switch (index) {
        case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
        case GWLP_HINSTANCE: return reinterpret_cast<LONG_PTR>(w->cls->info.hInstance);
        case GWLP_HWNDPARENT: return reinterpret_cast<LONG_PTR>(w->IsChild() ? w->parent : w->owner);
        case GWL_STYLE: return LONG_PTR(LONG(w->style));
        case GWL_EXSTYLE: return LONG_PTR(LONG(w->exStyle));
        case GWLP_USERDATA: return w->userData;
        case GWLP_ID: return w->id;
        default: return ExtraValue<LONG_PTR>(*w, index, nullptr);
    }
}

LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value) {
    LONG_PTR previous = 0;
    unsigned changes = 0;
    {
        std::lock_guard lock(WindowsMutex());
        auto w = GetWindowObject(hwnd);
        if (!w) return 0;
        switch (index) {
            case GWLP_WNDPROC:
                previous = reinterpret_cast<LONG_PTR>(std::exchange(w->proc, reinterpret_cast<WNDPROC>(value)));
                break;
            case GWL_STYLE:
                previous = LONG_PTR(LONG(std::exchange(w->style, DWORD(value))));
                changes = kChangeVisibility | kChangeGeometry;
                break;
            case GWL_EXSTYLE: {
                // Topmost changes only through SetWindowPos; leaving the
                // layered style makes the window opaque again.
                const DWORD topmost = w->exStyle & WS_EX_TOPMOST;
                previous = LONG_PTR(LONG(w->exStyle));
                w->exStyle = (DWORD(value) & ~WS_EX_TOPMOST) | topmost;
                if (!(w->exStyle & WS_EX_LAYERED)) w->layeredFlags = 0;
                changes = kChangeOpacity;
                break;
            }
            case GWLP_USERDATA: previous = std::exchange(w->userData, value); break;
            case GWLP_ID: previous = std::exchange(w->id, value); break;
            case GWLP_HWNDPARENT:
                if (w->IsChild()) {
                    SetLastError(ERROR_INVALID_PARAMETER);
                    return 0;
                }
                previous = reinterpret_cast<LONG_PTR>(std::exchange(w->owner, reinterpret_cast<HWND>(value)));
                break;
            default: previous = ExtraValue<LONG_PTR>(*w, index, &value);
        }
    }
    SetLastError(ERROR_SUCCESS);
    if (changes) NotifyBackend(hwnd, changes);
    return previous;
}

LONG GetWindowLongW(HWND hwnd, int index) {
    return index >= 0 ? ExtraValue<LONG>(hwnd, index, nullptr) : LONG(GetWindowLongPtrW(hwnd, index));
}

LONG SetWindowLongW(HWND hwnd, int index, LONG value) {
    return index >= 0 ? ExtraValue<LONG>(hwnd, index, &value) : LONG(SetWindowLongPtrW(hwnd, index, value));
}

BOOL SetWindowTextW(HWND hwnd, LPCWSTR text) {
    if (!IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}

int GetWindowTextW(HWND hwnd, LPWSTR buffer, int capacity) {
    if (!buffer || capacity <= 0) return 0;
    buffer[0] = 0;
    if (!IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return int(SendMessageW(hwnd, WM_GETTEXT, WPARAM(capacity), reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLengthW(HWND hwnd) { return int(SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0)); }

int GetClassNameW(HWND hwnd, LPWSTR buffer, int capacity) {
    auto w = GetWindowObject(hwnd);
    if (!w || !buffer || capacity <= 0) return 0;
    return int(plat::CopyToField(buffer, std::size_t(capacity), w->cls->name));
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
    auto w = GetWindowObject(hwnd);
    if (!w) return FALSE;
    bool wasDisabled;
    {
        std::lock_guard lock(WindowsMutex());
        wasDisabled = (w->style & WS_DISABLED) != 0;
        if (enable) w->style &= ~WS_DISABLED;
        else w->style |= WS_DISABLED;
    }
    if (wasDisabled == !enable) return wasDisabled;
    if (!enable) ForgetWindowInput(hwnd);
    SendMessageW(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
    return wasDisabled;
}

BOOL IsWindowEnabled(HWND hwnd) {
    auto w = GetWindowObject(hwnd);
    return w && !(w->style & WS_DISABLED);
}
