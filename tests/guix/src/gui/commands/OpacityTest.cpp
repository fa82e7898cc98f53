// Opacity arithmetic and applying `Alpha` to the window and its dialogs on
// the headless backend (which composites unless told otherwise).
#include "commands/Opacity.h"

#include "commands/CommandIds.h"
#include "ui/layered.h"
#include "ui_test_support.h"

namespace {

TEST(OpacityArithmetic, CommandsSliderAndAlphaAgree) {
    const BYTE expected[] = {255, 230, 204, 179, 153, 128, 102, 77, 51, 26};
    for (UINT id = cmd::kOpacity0; id <= cmd::kOpacity90; ++id)
        EXPECT_EQ(cmd::AlphaOfOpacityCommand(id), expected[id - cmd::kOpacity0]) << id;
    EXPECT_EQ(cmd::AlphaOfOpacityCommand(cmd::kOpacity0 - 1), std::nullopt);
    EXPECT_EQ(cmd::AlphaOfOpacityCommand(cmd::kOpacity90 + 1), std::nullopt);

    EXPECT_EQ(cmd::AlphaSliderPosition(179), 38) << "opacity 30 %";
    EXPECT_EQ(cmd::AlphaSliderPosition(255), 0);
    EXPECT_EQ(cmd::AlphaSliderPosition(26), 114);
    EXPECT_EQ(cmd::AlphaOfSliderPosition(0), 255);
    EXPECT_EQ(cmd::AlphaOfSliderPosition(38), 179);
    EXPECT_EQ(cmd::AlphaOfSliderPosition(100), 55) << "the slider's far end";
    EXPECT_EQ(cmd::AlphaOfSliderPosition(128), 255) << "modulo 256";
}

class ApplyAlphaTest : public uitest::UiTest {};

BYTE AlphaOf(HWND hwnd) {
    BYTE alpha = 0;
    EXPECT_TRUE(GetLayeredWindowAttributes(hwnd, nullptr, &alpha, nullptr));
    return alpha;
}

bool Layered(HWND hwnd) { return (GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_LAYERED) != 0; }

TEST_F(ApplyAlphaTest, OpaqueRemovesTheLayeredStyleFromEveryWindow) {
    HWND window = Make(WS_POPUP | WS_VISIBLE, {0, 0, 100, 40});
    HWND details = Make(WS_POPUP | WS_VISIBLE, {0, 50, 100, 90});
    HWND selftest = Make(WS_POPUP | WS_VISIBLE, {0, 100, 100, 140});
    ASSERT_TRUE(cmd::ApplyAlphaToWindows(179, {window, nullptr, details, selftest}));
    for (HWND hwnd : {window, details, selftest}) {
        EXPECT_TRUE(Layered(hwnd));
        EXPECT_EQ(AlphaOf(hwnd), 179);
        EXPECT_EQ(Headless().StateOf(hwnd)->alpha, 179);
    }
    ASSERT_TRUE(cmd::ApplyAlphaToWindows(cmd::AlphaOfSliderPosition(0), {window, details, selftest}));
    for (HWND hwnd : {window, details, selftest}) EXPECT_FALSE(Layered(hwnd));
}

TEST_F(ApplyAlphaTest, WithoutACompositorTheOpacityIsRefused) {
    HWND window = Make(WS_POPUP | WS_VISIBLE, {0, 0, 100, 40});
    Headless().SetOpacitySupported(false);
    EXPECT_FALSE(cmd::ApplyAlphaToWindows(128, {window}));
    Headless().SetOpacitySupported(true);
}

}  // namespace
