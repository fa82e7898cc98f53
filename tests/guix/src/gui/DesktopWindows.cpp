#include "DesktopWindows.h"

#include <algorithm>

#include "ui/bitmap.h"
#include "ui/image_file.h"

// Xlib last: its macros (None, Bool, Status) would clash with the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace desktop {
namespace {

std::vector<Window> Children(Display* dpy, Window parent) {
    Window root = 0, up = 0, *children = nullptr;
    unsigned count = 0;
    std::vector<Window> all;
    if (!XQueryTree(dpy, parent, &root, &up, &children, &count)) return all;
    all.assign(children, children + count);
    if (children) XFree(children);
    return all;
}

bool Viewable(Display* dpy, Window w, XWindowAttributes* a) {
    return XGetWindowAttributes(dpy, w, a) && a->map_state == IsViewable;
}

void CollectTitled(Display* dpy, Window parent, const std::string& title, std::vector<Placed>* found) {
    for (Window w : Children(dpy, parent)) {
        XWindowAttributes a;
        if (!Viewable(dpy, w, &a)) continue;
        char* name = nullptr;
        if (XFetchName(dpy, w, &name) && name && title == name) found->push_back(Locate(dpy, w));
        if (name) XFree(name);
        CollectTitled(dpy, w, title, found);
    }
}

}  // namespace

Placed Locate(Display* dpy, unsigned long window) {
    XWindowAttributes a;
    if (!Viewable(dpy, window, &a)) return {};
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(dpy, window, DefaultRootWindow(dpy), 0, 0, &x, &y, &child);
    return Placed{window, x, y, a.width, a.height};
}

std::vector<Placed> WindowsTitled(Display* dpy, const std::string& title) {
    std::vector<Placed> found;
    CollectTitled(dpy, DefaultRootWindow(dpy), title, &found);
    return found;
}

ScreenArea Capture(Display* dpy, const Placed& wanted) {
    XWindowAttributes root;
    XGetWindowAttributes(dpy, DefaultRootWindow(dpy), &root);
    const int left = std::max(0, wanted.x), top = std::max(0, wanted.y);
    const int right = std::min(root.width, wanted.x + wanted.width);
    const int bottom = std::min(root.height, wanted.y + wanted.height);
    ScreenArea area;
    if (right <= left || bottom <= top) return area;
    XImage* image = XGetImage(dpy, DefaultRootWindow(dpy), left, top, unsigned(right - left), unsigned(bottom - top),
                              AllPlanes, ZPixmap);
    if (!image) return area;
    area.width = right - left;
    area.height = bottom - top;
    area.pixels.reserve(std::size_t(area.width) * std::size_t(area.height));
    for (int row = 0; row < area.height; ++row)
        for (int col = 0; col < area.width; ++col)
            area.pixels.push_back(std::uint32_t(XGetPixel(image, col, row) & 0xFFFFFF));
    XDestroyImage(image);
    return area;
}

bool WritePng(const std::string& path, const ScreenArea& area) {
    if (area.pixels.empty()) return false;
    plat::ui::Bitmap bitmap(area.width, area.height, 32);
    for (int y = 0; y < area.height; ++y)
        for (int x = 0; x < area.width; ++x) bitmap.Set(x, y, area.At(x, y) | 0xFF000000u);
    return plat::ui::WritePng(path, bitmap);
}

}  // namespace desktop
