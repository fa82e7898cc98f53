#include "xvfb_support.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace xvfbtest {

bool HaveXvfb() {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin";
    for (std::size_t start = 0; start <= dirs.size();) {
        const std::size_t end = std::min(dirs.find(':', start), dirs.size());
        if (access((dirs.substr(start, end - start) + "/Xvfb").c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

pid_t StartXvfb(std::string* display, const char* screen) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);  // the server ends with the test, whatever happens
        close(fds[0]);
        const std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-noreset", "-nolisten", "tcp", "-br", "-screen", "0", screen,
               static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number.push_back(c);
    close(fds[0]);
    if (number.empty()) return -1;
    *display = ":" + number;
    return pid;
}

void XvfbTest::SetUp() {
    if (!HaveXvfb()) GTEST_SKIP() << "Xvfb is not installed; the X11 tests need it (package xvfb)";
    server = StartXvfb(&display);
    ASSERT_GT(server, 0) << "Xvfb did not start";
}

void XvfbTest::TearDown() {
    if (server <= 0) return;
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
}

}  // namespace xvfbtest
