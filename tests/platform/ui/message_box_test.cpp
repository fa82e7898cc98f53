#include "ui/message_box.h"

#include "ui/dialog.h"
#include "ui/input.h"
#include "ui/modal_loop.h"

#include "ui_test_support.h"

using namespace uitest;

namespace {

struct Observed {
    std::u16string caption;
    std::u16string text;
    bool topmost = false;
    bool ownerEnabled = true;
    std::uint32_t iconPixel = 0;
};

class MessageBoxTest : public UiTest {
protected:
    void TearDown() override {
        plat::ui::SetModalShownHook(nullptr);
        UiTest::TearDown();
    }
    // Looks at the box when it shows, then answers it with `key`.
    Observed Show(UINT type, int key) {
        HWND owner = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 50, 50});
        Observed seen;
        plat::ui::SetModalShownHook([&](HWND box) {
            WCHAR text[128];
            GetWindowTextW(box, text, 128);
            seen.caption = text;
            GetDlgItemTextW(box, 0xFFFF, text, 128);
            seen.text = text;
            seen.topmost = GetWindowLongW(box, GWL_EXSTYLE) & WS_EX_TOPMOST;
            seen.ownerEnabled = IsWindowEnabled(owner);
            Pump();
            seen.iconPixel = Pixel(*Headless().Capture(box), 12 + 16, 12 + 4);
            plat::ui::InjectKey(key, true);
            plat::ui::InjectKey(key, false);
        });
        EXPECT_EQ(MessageBoxW(owner, u"Resource DLL LUMEXRS.DLL could not be loaded.", u"Zelmor Lumetra", type), IDOK);
        EXPECT_TRUE(IsWindowEnabled(owner)) << "the owner is enabled again";
        return seen;
    }
};

}  // namespace

TEST_F(MessageBoxTest, ShowsTextCaptionAndIconAboveTheDisabledOwner) {
    const Observed seen = Show(MB_ICONERROR | MB_TOPMOST, VK_RETURN);
    EXPECT_EQ(seen.caption, u"Zelmor Lumetra");
    EXPECT_EQ(seen.text, u"Resource DLL LUMEXRS.DLL could not be loaded.");
    EXPECT_TRUE(seen.topmost);
    EXPECT_FALSE(seen.ownerEnabled);
    EXPECT_EQ(seen.iconPixel, 0xC81E1Eu) << "the red error icon";
}

TEST_F(MessageBoxTest, EscapeAlsoAnswersAndPlainBoxesHaveNoIcon) {
    const Observed seen = Show(MB_OK, VK_ESCAPE);
    EXPECT_FALSE(seen.topmost);
    EXPECT_NE(seen.iconPixel, 0xC81E1Eu);
}
