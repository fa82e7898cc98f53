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
    int answer = 0;
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
        seen.answer = MessageBoxW(owner, u"Resource DLL LUMEXRS.DLL could not be loaded.", u"Zelmor Lumetra", type);
        EXPECT_TRUE(IsWindowEnabled(owner)) << "the owner is enabled again";
        return seen;
    }
};

}  // namespace

TEST_F(MessageBoxTest, ShowsTextCaptionAndIconAboveTheDisabledOwner) {
    const Observed seen = Show(MB_ICONERROR | MB_TOPMOST, VK_RETURN);
    EXPECT_EQ(seen.answer, IDOK);
    EXPECT_EQ(seen.caption, u"Zelmor Lumetra");
    EXPECT_EQ(seen.text, u"Resource DLL LUMEXRS.DLL could not be loaded.");
    EXPECT_TRUE(seen.topmost);
    EXPECT_FALSE(seen.ownerEnabled);
    EXPECT_EQ(seen.iconPixel, 0xC81E1Eu) << "the red error icon";
}

TEST_F(MessageBoxTest, EscapeAlsoAnswersAndPlainBoxesHaveNoIcon) {
    const Observed seen = Show(MB_OK, VK_ESCAPE);
    EXPECT_EQ(seen.answer, IDOK);
    EXPECT_FALSE(seen.topmost);
    EXPECT_NE(seen.iconPixel, 0xC81E1Eu);
}

TEST_F(MessageBoxTest, YesNoAnswersByDefaultButtonAndEscapeMeansNo) {
    const Observed yes = Show(MB_YESNO | MB_ICONQUESTION, VK_RETURN);
    EXPECT_EQ(yes.answer, IDYES);
    EXPECT_EQ(yes.iconPixel, 0x1E64C8u) << "the blue question icon";
    EXPECT_EQ(Show(MB_YESNO | MB_DEFBUTTON2, VK_RETURN).answer, IDNO);
    EXPECT_EQ(Show(MB_YESNO | MB_ICONWARNING, VK_ESCAPE).answer, IDNO);
}

TEST_F(MessageBoxTest, TheNoButtonAnswersNo) {
    HWND owner = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 50, 50});
    plat::ui::SetModalShownHook([](HWND box) { Click(CentreOf(GetDlgItem(box, IDNO))); });
    EXPECT_EQ(MessageBoxW(owner, u"Replace it?", u"Save As", MB_YESNO), IDNO);
}
