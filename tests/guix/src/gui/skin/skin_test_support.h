// Shared fixture of the skin engine's window tests: the headless backend,
// the tests' resource library, a skinned dialog that records what it is
// told, and the message boxes the engine may show, answered and recorded.
#pragma once

#include <string>
#include <vector>

#include "skin/Skin.h"
#include "ui_test_support.h"

namespace skintest {

// Identifiers of res/skin_test.rcs.
constexpr UINT IDD_SKIN = 900;
constexpr UINT IDB_FACE = 101, IDB_MASK = 102, IDB_HOVER = 103, IDB_PRESSED = 104, IDB_DISABLED = 105;
constexpr UINT IDB_FACE2 = 111, IDB_MASK2 = 112, IDB_HOVER2 = 113, IDB_PRESSED2 = 114, IDB_DISABLED2 = 115;
constexpr UINT IDB_GREY_FACE = 121, IDB_GREY_MASK = 122, IDB_GREY_HOVER = 123, IDB_GREY_PRESSED = 124,
               IDB_GREY_DISABLED = 125;
constexpr UINT IDB_WHITE_MASK = 130, IDB_THUMB = 140, IDB_THUMB_PRESSED = 141, IDB_MISSING = 199;
constexpr UINT IDS_BUTTON_ONE = 200, IDS_BUTTON_TWO = 201, IDS_BUTTON_ONE_AGAIN = 202, IDS_BUTTON_CAPTION = 203;
constexpr UINT IDS_PROGRESS_A = 210, IDS_PROGRESS_V = 211, IDS_SLIDER_COLOR = 220, IDS_SLIDER_UPRIGHT = 221;
constexpr UINT IDS_LABEL_A = 230, IDS_LABEL_LONG = 231, IDS_LABEL_CAPTION = 232, IDS_MISSING = 299;

// Codes in the red channel of the coded skin's images.
constexpr int kFaceCode = 10, kHoverCode = 20, kPressedCode = 30, kDisabledCode = 40, kFace2Code = 50;

// The coded pixel of an image at (x, y): red = code, green = x, blue = y.
constexpr std::uint32_t Coded(int code, int x, int y) { return std::uint32_t(code << 16 | x << 8 | y); }

class RecordingDialog : public CSkinDialog {
public:
    RecordingDialog() : CSkinDialog(IDD_SKIN) {}
    ~RecordingDialog() override { DestroyWindow(); }

    std::vector<std::string> events;
    int mouseMoves = 0;
    std::u16string closeOn;  // a button whose click destroys the dialog

    void OnSkinButton(const std::u16string& name) override;
    void OnSkinSlider(const std::u16string& name, int code, int position) override;
    void OnSkinLabel(const std::u16string& name) override;
    void OnSkinProgress(const std::u16string& name) override;
    void OnSkinMouseMove(const std::u16string& name, int x, int y) override;
    // The LED window draws its background with DrawBackground, tinted.
    bool tintedPaint = false;

protected:
    void OnPaint() override;
};

class SkinTest : public uitest::UiTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the dialog at (300, 200) with the coded skin (or the grey one)
    // and the second set, shows it and paints it.
    void Open(RecordingDialog& dialog, bool grey = false);
    // Pixel (0x00RRGGBB) of what the dialog shows at a client point.
    std::uint32_t Shown(const CSkinDialog& dialog, int x, int y);
    POINT ScreenPoint(const CSkinDialog& dialog, int x, int y);
    void MoveTo(const CSkinDialog& dialog, int x, int y);

    std::vector<std::u16string> m_boxes;  // texts of the message boxes shown
    HMODULE m_library = nullptr;
};

std::string Utf8(const std::u16string& text);

}  // namespace skintest
