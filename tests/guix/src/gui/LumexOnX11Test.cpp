// lumex as a person starts it on an X11 desktop (a private Xvfb): its
// window appears with the product's title and its skin's size, without its
// resource library the error box shows instead, and a termination signal
// ends it as its exit command does, with the settings stored, while a
// second one ends a close that hangs.
#include "net/loopback_port.h"
#include "registry/registry.h"
#include "xvfb_support.h"

// Xlib after the test framework: its macros (None, Bool) would clash.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <optional>
#include <string>
#include <thread>

namespace {

// The LED window on lumetra-kernel's default machine without S.M.A.R.T.:
// disks C: D:, the CD E:, the network row (its catch-all; Z: joins it once a
// file on it is opened) and the floppy A:, each row 40 + 22 pixels per
// letter, and the 25 of the buttons.
constexpr int kDefaultMachineWidth = (40 + 44) + (40 + 22) + (40 + 22) + (40 + 22) + 25;

struct Shown {
    int width = 0;
    int height = 0;
    int redPixels = 0;  // the error icon's colour, (200, 30, 30)
};

class LumexOnX11 : public xvfbtest::XvfbTest {
protected:
    void SetUp() override {
        XvfbTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        char pattern[] = "/tmp/lumex-x11-XXXXXX";
        m_dir = mkdtemp(pattern);
        m_port = std::to_string(plat::net::FreeLoopbackPort());
        StartKernelHost();
    }
    void TearDown() override {
        for (pid_t* pid : {&m_program, &m_kernel}) {
            if (*pid <= 0) continue;
            kill(*pid, SIGKILL);
            waitpid(*pid, nullptr, 0);
        }
        if (!m_dir.empty()) std::filesystem::remove_all(m_dir);
        XvfbTest::TearDown();
    }
    // Starts `program` in its own folder with a private state root (and a
    // S.M.A.R.T. port where no service answers).
    void Start(const std::string& program) {
        m_program = Spawn(program, "/dev/null");
        ASSERT_GT(m_program, 0);
    }
    // lumetra-kernel with blinkor on its default machine, in the same root,
    // so lumex finds the driver; waited for until it says it is ready.
    void StartKernelHost() {
        m_kernel = Spawn(LUMETRA_KERNEL_PATH, m_dir + "/kernel.log");
        ASSERT_GT(m_kernel, 0);
        for (int i = 0; i < 300; ++i) {
            std::ifstream in(m_dir + "/kernel.log");
            std::stringstream text;
            text << in.rdbuf();
            if (text.str().find("ready") != std::string::npos) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        FAIL() << "lumetra-kernel did not start";
    }
    pid_t Spawn(const std::string& program, const std::string& output) {
        const pid_t pid = fork();
        if (pid == 0) {
            setenv("DISPLAY", display.c_str(), 1);
            setenv("LUMETRA_ROOT", m_dir.c_str(), 1);
            setenv("LUMETRA_SMART_PORT", m_port.c_str(), 1);
            setenv("PATH", "/usr/bin:/bin", 1);
            unsetenv("LUMETRA_UI_BACKEND");
            unsetenv("LUMETRA_KERNEL_SOCKET");
            const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            if (out >= 0) dup2(out, 1);
            if (chdir(m_dir.c_str()) != 0) _exit(126);
            execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        return pid;
    }
    // The first viewable top-level window titled `title`, waited for up to
    // 30 seconds (the program's start under a loaded machine).
    std::optional<Shown> WaitForWindow(const char* title) {
        Display* dpy = XOpenDisplay(display.c_str());
        if (!dpy) return std::nullopt;
        std::optional<Shown> found;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!found && std::chrono::steady_clock::now() < deadline) {
            Window root = DefaultRootWindow(dpy), parent = 0, *children = nullptr;
            unsigned count = 0;
            XQueryTree(dpy, root, &root, &parent, &children, &count);
            for (unsigned i = 0; i < count && !found; ++i) {
                char* name = nullptr;
                XWindowAttributes a;
                if (!XGetWindowAttributes(dpy, children[i], &a) || a.map_state != IsViewable) continue;
                if (XFetchName(dpy, children[i], &name) && name && std::string(name) == title) {
                    found = Look(dpy, children[i], a);
                }
                if (name) XFree(name);
            }
            if (children) XFree(children);
            if (!found) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        XCloseDisplay(dpy);
        return found;
    }

private:
    static Shown Look(Display* dpy, Window window, const XWindowAttributes& a) {
        Shown shown{a.width, a.height, 0};
        XSync(dpy, False);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));  // let the first paint reach the server
        if (XImage* image = XGetImage(dpy, window, 0, 0, unsigned(a.width), unsigned(a.height), AllPlanes, ZPixmap)) {
            for (int y = 0; y < a.height; ++y)
                for (int x = 0; x < a.width; ++x) shown.redPixels += (XGetPixel(image, x, y) & 0xFFFFFF) == 0xC81E1E;
            XDestroyImage(image);
        }
        return shown;
    }

    std::string m_dir;
    std::string m_port;

protected:
    const std::string& Dir() const { return m_dir; }
    // Waits (up to 30 s) for the program to end; its wait status, or -1.
    int WaitForExit() {
        int status = -1;
        for (int i = 0; i < 300; ++i) {
            if (waitpid(m_program, &status, WNOHANG) == m_program) {
                m_program = -1;
                return status;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return -1;
    }
    pid_t m_program = -1;
    pid_t m_kernel = -1;
};

}  // namespace

TEST_F(LumexOnX11, ShowsItsWindowWithTheProductsTitle) {
    Start(LUMEX_PATH);
    const auto window = WaitForWindow("Zelmor Lumetra");
    ASSERT_TRUE(window) << "no window titled Zelmor Lumetra";
    EXPECT_EQ(window->height, 32) << "the LED window's height";
    EXPECT_EQ(window->width, kDefaultMachineWidth) << "the default machine's rows and the window buttons";
    EXPECT_EQ(window->redPixels, 0) << "no error box";
}

TEST_F(LumexOnX11, WithoutItsLibraryTheErrorBoxShows) {
    const std::string alone = Dir() + "/lumex";
    std::filesystem::copy_file(LUMEX_PATH, alone);
    Start(alone);
    const auto box = WaitForWindow("Zelmor Lumetra");
    ASSERT_TRUE(box) << "no box titled Zelmor Lumetra";
    EXPECT_GT(box->height, 32) << "a message box, not the LED window";
    EXPECT_GT(box->redPixels, 50) << "the error icon";
}

TEST_F(LumexOnX11, ATerminationSignalEndsItWithTheSettingsStored) {
    Start(LUMEX_PATH);
    ASSERT_TRUE(WaitForWindow("Zelmor Lumetra"));
    ASSERT_EQ(kill(m_program, SIGTERM), 0);
    int status = -1;
    ASSERT_EQ(waitpid(m_program, &status, 0), m_program);
    m_program = -1;
    ASSERT_TRUE(WIFEXITED(status)) << "ended by the signal itself";
    EXPECT_EQ(WEXITSTATUS(status), 0);

    setenv("LUMETRA_ROOT", Dir().c_str(), 1);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"SOFTWARE\\Zelmor\\Zelmor Lumetra\\3.1\\Settings", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    DWORD size = 0, type = 0, bytes = sizeof size;
    EXPECT_EQ(RegQueryValueExW(key, u"size", nullptr, &type, reinterpret_cast<BYTE*>(&size), &bytes), ERROR_SUCCESS);
    EXPECT_EQ(size, 74u);
    RegCloseKey(key);
    unsetenv("LUMETRA_ROOT");
}

// The close waits on the driver, and the driver on a kernel host that is
// stopped here: the first signal's close hangs, and the second signal ends
// the program at once, by its default action.
TEST_F(LumexOnX11, ASecondSignalEndsAHungClose) {
    Start(LUMEX_PATH);
    ASSERT_TRUE(WaitForWindow("Zelmor Lumetra"));
    ASSERT_EQ(kill(m_kernel, SIGSTOP), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the next poll of the driver waits
    ASSERT_EQ(kill(m_program, SIGTERM), 0);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    int status = -1;
    ASSERT_EQ(waitpid(m_program, &status, WNOHANG), 0) << "the close waits on the stopped kernel host";
    ASSERT_EQ(kill(m_program, SIGTERM), 0);
    status = WaitForExit();
    ASSERT_NE(status, -1) << "still running after the second signal";
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << "ended by the second signal itself";
    kill(m_kernel, SIGCONT);
}
