// A private Xvfb server per test, for the tests of the X11 backend. Skipped
// when Xvfb is not installed.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <string>

namespace xvfbtest {

bool HaveXvfb();
// Starts Xvfb on a display number it picks itself, with one screen of
// `screen` (WIDTHxHEIGHTxDEPTH); -1 when it did not start.
pid_t StartXvfb(std::string* display, const char* screen = "640x480x24");

// Each test has its own server, ended with the test.
class XvfbTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::string display;
    pid_t server = -1;
};

}  // namespace xvfbtest
