#include "DesktopInput.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <thread>

namespace desktop {
namespace {

// A pause between the parts of a gesture, as a hand makes them: a press and
// its release in the same instant would read as one event to nobody, but a
// drag whose moves all arrive at once may be seen as one jump.
void Pause() { std::this_thread::sleep_for(std::chrono::milliseconds(30)); }

}  // namespace

bool DesktopInput::Available() const {
    int event = 0, error = 0, major = 0, minor = 0;
    return XTestQueryExtension(m_dpy, &event, &error, &major, &minor);
}

void DesktopInput::Sync() const { XSync(m_dpy, False); }

void DesktopInput::MoveTo(int x, int y) const {
    XTestFakeMotionEvent(m_dpy, DefaultScreen(m_dpy), x, y, CurrentTime);
    Sync();
}

void DesktopInput::Button(int button, bool down) const {
    XTestFakeButtonEvent(m_dpy, unsigned(button), down ? True : False, CurrentTime);
    Sync();
}

void DesktopInput::Click(int x, int y, int button) const {
    MoveTo(x, y);
    Pause();
    Button(button, true);
    Pause();
    Button(button, false);
}

void DesktopInput::Drag(int fromX, int fromY, int toX, int toY) const {
    MoveTo(fromX, fromY);
    Pause();
    Button(1, true);
    constexpr int kSteps = 8;
    for (int i = 1; i <= kSteps; ++i) {
        Pause();
        MoveTo(fromX + (toX - fromX) * i / kSteps, fromY + (toY - fromY) * i / kSteps);
    }
    Pause();
    Button(1, false);
}

void DesktopInput::Key(unsigned long keysym) const {
    const KeyCode code = XKeysymToKeycode(m_dpy, keysym);
    if (!code) return;
    XTestFakeKeyEvent(m_dpy, code, True, CurrentTime);
    Sync();
    Pause();
    XTestFakeKeyEvent(m_dpy, code, False, CurrentTime);
    Sync();
}

}  // namespace desktop
