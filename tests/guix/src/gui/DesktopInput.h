// A person's pointer and keyboard on an X display, synthesised through the
// XTEST extension: the server delivers the events as it would a real
// device's, to the window under the pointer (or holding a grab) and to the
// window with the keyboard focus.
#pragma once

struct _XDisplay;

namespace desktop {

class DesktopInput {
public:
    explicit DesktopInput(_XDisplay* dpy) : m_dpy(dpy) {}

    // Whether the server offers XTEST.
    bool Available() const;

    // Screen coordinates; buttons 1 (left), 2 (middle), 3 (right).
    void MoveTo(int x, int y) const;
    void Click(int x, int y, int button = 1) const;
    // Presses the left button at one point, moves in steps to the other and
    // releases it there.
    void Drag(int fromX, int fromY, int toX, int toY) const;
    // Presses and releases the key of an X keysym (XK_Escape, XK_Return, ...).
    void Key(unsigned long keysym) const;

private:
    void Button(int button, bool down) const;
    void Sync() const;

    _XDisplay* m_dpy;
};

}  // namespace desktop
