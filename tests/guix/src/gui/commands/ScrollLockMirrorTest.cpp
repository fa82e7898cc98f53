// The Scroll Lock light following disk activity on the headless backend,
// whose keyboard indicator the synthesised key presses toggle.
#include "commands/ScrollLockMirror.h"

#include "ui/input.h"
#include "ui_test_support.h"

namespace {

class ScrollLockMirrorTest : public uitest::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        Headless().SetScrollLock(false);
        cmd::FollowScrollLockLight();
    }
    bool Light() { return Headless().ScrollLock(); }
};

TEST_F(ScrollLockMirrorTest, TheLightFollowsActivityWhileTheOptionIsOn) {
    cmd::MirrorActivityOnScrollLock(true, true);
    EXPECT_TRUE(Light());
    EXPECT_TRUE(cmd::ScrollLockIsOn());
    cmd::MirrorActivityOnScrollLock(true, true);
    EXPECT_TRUE(Light()) << "no toggle without a change";
    cmd::MirrorActivityOnScrollLock(true, false);
    EXPECT_FALSE(Light());
    cmd::MirrorActivityOnScrollLock(false, true);
    EXPECT_FALSE(Light()) << "the option is off";
}

TEST_F(ScrollLockMirrorTest, SwitchingTheOptionOffTurnsTheLightOffAndResyncs) {
    cmd::MirrorActivityOnScrollLock(true, true);
    ASSERT_TRUE(Light());
    // The option goes off while the drive is busy: the light goes off and the
    // mirror follows it, so switching back on lights it at the next drawing
    // instead of showing the inverse of the activity.
    cmd::SwitchScrollLockOff();
    cmd::FollowScrollLockLight();
    EXPECT_FALSE(Light());
    EXPECT_FALSE(cmd::MirroredActivity());
    cmd::MirrorActivityOnScrollLock(true, true);
    EXPECT_TRUE(Light());
    cmd::SwitchScrollLockOff();
    cmd::SwitchScrollLockOff();
    EXPECT_FALSE(Light()) << "switching off an unlit light leaves it off";
}

}  // namespace
