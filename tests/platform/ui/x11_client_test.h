// A test of the program's X11 backend on a private Xvfb server: DISPLAY
// names the server, the backend in force is X11, and the test has a
// connection of its own (dpy) to look at the screen and drive it. Helper
// programs the test starts (a window manager, a compositor) end with it.
#pragma once

#include <sys/types.h>

#include <vector>

#include "xvfb_support.h"

typedef struct _XDisplay Display;  // Xlib's, without its macros in every test

namespace xvfbtest {

class X11ClientTest : public XvfbTest {
protected:
    void SetUp() override;
    // Ends the helpers, closes dpy, shuts the backend down (before the
    // server goes) and ends the server. A fixture's own clean-up comes first.
    void TearDown() override;

    Display* dpy = nullptr;
    std::vector<pid_t> helpers;
};

}  // namespace xvfbtest
