// A shared-memory image for presenting a window's pixels (MIT-SHM): the
// pixels go to the server through a segment instead of the socket.
// Optional: used only on a local display whose server accepts the segment,
// and never when LUMETRA_UI_NO_SHM is set.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

namespace plat::ui {

// Whether shared memory works with this display (checked once, under the
// caller's display lock).
bool ShmUsable(Display* display);

class ShmImage {
public:
    // Replaces any previous segment; false when shared memory fails.
    bool Create(Display* display, Visual* visual, int depth, int width, int height);
    void Destroy(Display* display);
    XImage* Image() const { return m_image; }
    bool Fits(int width, int height) const { return m_image && m_image->width == width && m_image->height == height; }

private:
    XShmSegmentInfo m_info{};
    XImage* m_image = nullptr;
};

}  // namespace plat::ui
