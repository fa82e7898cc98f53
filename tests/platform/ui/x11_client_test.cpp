#include "x11_client_test.h"

#include <X11/Xlib.h>

#include <signal.h>
#include <sys/wait.h>

#include <cstdlib>

#include "ui/backend.h"

namespace xvfbtest {

void X11ClientTest::SetUp() {
    XvfbTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    setenv("DISPLAY", display.c_str(), 1);
    setenv("LUMETRA_UI_BACKEND", "x11", 1);
    dpy = XOpenDisplay(display.c_str());
    ASSERT_NE(dpy, nullptr);
}

void X11ClientTest::TearDown() {
    for (pid_t p : helpers) {
        kill(p, SIGTERM);
        waitpid(p, nullptr, 0);
    }
    if (dpy) {
        XCloseDisplay(dpy);
        plat::ui::ShutdownBackend();  // before the server goes
    }
    XvfbTest::TearDown();
}

}  // namespace xvfbtest
