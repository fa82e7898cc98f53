#include "registry/paths.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

namespace {

class PathsTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"LUMETRA_ROOT", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR", "LUMETRA_BOOT_ID"})
            unsetenv(name);
    }
    void TearDown() override { SetUp(); }
};

TEST_F(PathsTest, RootMovesEveryLocation) {
    setenv("LUMETRA_ROOT", "/tmp/demo", 1);
    setenv("XDG_CONFIG_HOME", "/elsewhere", 1);
    EXPECT_EQ(plat::MachineStoreDirectory(), "/tmp/demo/hklm");
    EXPECT_EQ(plat::UserStoreDirectory(), "/tmp/demo/hkcu");
    EXPECT_EQ(plat::RuntimeDirectory(), "/tmp/demo/run");
}

TEST_F(PathsTest, DefaultsFollowTheXdgVariables) {
    setenv("XDG_CONFIG_HOME", "/cfg", 1);
    setenv("XDG_RUNTIME_DIR", "/run/user/1000", 1);
    EXPECT_EQ(plat::MachineStoreDirectory(), "/var/lib/zelmor-lumetra");
    EXPECT_EQ(plat::UserStoreDirectory(), "/cfg/zelmor-lumetra");
    EXPECT_EQ(plat::RuntimeDirectory(), geteuid() == 0 ? "/run/zelmor-lumetra" : "/run/user/1000/zelmor-lumetra");
}

TEST_F(PathsTest, UserStoreFallsBackToHomeConfig) {
    const char* home = getenv("HOME");
    ASSERT_NE(home, nullptr);
    EXPECT_EQ(plat::UserStoreDirectory(), std::string(home) + "/.config/zelmor-lumetra");
}

TEST_F(PathsTest, BootIdComesFromTheKernelUnlessOverridden) {
    const std::string real = plat::BootId();
    EXPECT_EQ(real.size(), 36u) << real;  // a UUID
    setenv("LUMETRA_BOOT_ID", "test-boot", 1);
    EXPECT_EQ(plat::BootId(), "test-boot");
}

}  // namespace
