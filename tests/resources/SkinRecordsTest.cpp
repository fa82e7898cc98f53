// LUMEXRS.DLL through the real skin engine: each window's skin loaded into a
// skinned dialog on its template, and every control record of the window
// made into its control. Each control must lie inside its skin and inside
// the window's shape, at its record's size, with every piece cut at that
// size from the place of the skin it covers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "base/text.h"
#include "resource/module.h"
#include "skin/Skin.h"
#include "skin/SkinPixels.h"
#include "ui/framework_app.h"
#include "ui/ui.h"

namespace {

// Chosen before anything asks for the backend.
const bool g_headless = setenv("LUMETRA_UI_BACKEND", "headless", 1) == 0;

enum class Kind { Button, Progress, Slider, Label };

struct Record {
    UINT id;
    Kind kind;
    UINT thumb = 0, pressedThumb = 0;
};

struct Window {
    const char* name;
    UINT templateId;
    UINT set[5];  // face, mask, hover, pressed, disabled
    std::vector<Record> records;
};

// The LED window's second set is shown as a skin of its own here, so that
// its records sit at their own rectangles as the options strip shows them.
const Window kWindows[] = {
    {"LED window, per-row tile", 102, {211, 213, 214, 261, 212}, {{212, Kind::Button}}},
    {"LED window, options strip and window buttons",
     102,
     {271, 273, 274, 272, 297},
     {{251, Kind::Button}, {252, Kind::Button}, {253, Kind::Button}, {254, Kind::Button}, {255, Kind::Button},
      {256, Kind::Button}, {257, Kind::Button}, {258, Kind::Button}, {259, Kind::Button}, {260, Kind::Button},
      {261, Kind::Button}, {262, Kind::Button}, {263, Kind::Button}, {266, Kind::Slider, 283, 284},
      {267, Kind::Slider, 281, 282}}},
    {"details dialog",
     103,
     {171, 175, 170, 269, 173},
     {{156, Kind::Button}, {157, Kind::Button}, {200, Kind::Button}, {180, Kind::Label}, {248, Kind::Label},
      {246, Kind::Label}, {162, Kind::Label}, {158, Kind::Label}, {159, Kind::Label}, {160, Kind::Label},
      {161, Kind::Label}, {163, Kind::Label}, {164, Kind::Label}, {165, Kind::Label}, {166, Kind::Label},
      {167, Kind::Label}, {168, Kind::Label}, {172, Kind::Label}, {182, Kind::Label}, {183, Kind::Label},
      {184, Kind::Label}, {185, Kind::Label}, {186, Kind::Label}, {187, Kind::Label}, {188, Kind::Label},
      {189, Kind::Label}, {190, Kind::Label}}},
    {"self-test dialog",
     103,
     {216, 219, 215, 285, 218},
     {{217, Kind::Button}, {218, Kind::Button}, {213, Kind::Button}, {214, Kind::Progress}, {215, Kind::Label},
      {228, Kind::Label}, {229, Kind::Label}, {231, Kind::Label}, {268, Kind::Label}, {230, Kind::Label},
      {248, Kind::Label}}},
};

class SkinRecordsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_library = LoadLibraryW(plat::Utf8ToUtf16(LUMEX_LIBRARY).c_str()); }
    static void TearDownTestSuite() { FreeLibrary(s_library); }
    void SetUp() override {
        ASSERT_TRUE(g_headless);
        ASSERT_NE(s_library, nullptr) << LUMEX_LIBRARY;
        AfxSetResourceHandle(s_library);
    }
    void TearDown() override { AfxSetResourceHandle(nullptr); }

    static std::u16string Text(UINT id) {
        const WCHAR* text = nullptr;
        const int n = LoadStringW(s_library, id, reinterpret_cast<LPWSTR>(&text), 0);
        return n > 0 ? std::u16string(text, std::size_t(n)) : std::u16string();
    }
    static HMODULE s_library;
};

HMODULE SkinRecordsTest::s_library = nullptr;

RECT RectInParent(const CWnd& control) {
    RECT r;
    GetWindowRect(control.m_hWnd, &r);
    MapWindowPoints(nullptr, GetParent(control.m_hWnd), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

RECT RecordRect(const Record& record, const std::u16string& text) {
    switch (record.kind) {
        case Kind::Button: return skin::ParseButtonRecord(text).rect;
        case Kind::Progress: return skin::ParseProgressRecord(text).rect;
        case Kind::Slider: return skin::ParseSliderRecord(text).rect;
        case Kind::Label: return skin::ParseLabelRecord(text).rect;
    }
    return {};
}

void Add(CSkinDialog& dialog, const Record& record) {
    switch (record.kind) {
        case Kind::Button: return dialog.AddButtonFromString(record.id);
        case Kind::Progress: return dialog.AddProgressFromString(record.id);
        case Kind::Slider: return dialog.AddSliderFromString(record.id, record.thumb, record.pressedThumb);
        case Kind::Label: return dialog.AddLabelFromString(record.id);
    }
}

// The control the record made (the last of its kind) and the pieces its
// kind cuts: a button all four looks, a progress bar its empty (normal)
// and filled (pressed) pieces, a slider and a label their background.
struct Made {
    CWnd* control = nullptr;
    const skin::TintedPieces* pieces = nullptr;
    std::vector<std::size_t> cut;
};

Made LastMade(const CSkinDialog& dialog, Kind kind) {
    const auto last = [](std::size_t n) { return n - 1; };
    switch (kind) {
        case Kind::Button: {
            if (!dialog.ButtonCount()) return {};
            CSkinButton* b = dialog.Button(last(dialog.ButtonCount()));
            return {b, &b->Pieces(), {0, 1, 2, 3}};
        }
        case Kind::Progress: {
            if (!dialog.ProgressCount()) return {};
            CSkinProgress* p = dialog.Progress(last(dialog.ProgressCount()));
            return {p, &p->Pieces(), {0, 2}};
        }
        case Kind::Slider: {
            if (!dialog.SliderCount()) return {};
            CSkinSlider* s = dialog.Slider(last(dialog.SliderCount()));
            return {s, &s->Pieces(), {0}};
        }
        case Kind::Label: {
            if (!dialog.LabelCount()) return {};
            CSkinLabel* l = dialog.Label(last(dialog.LabelCount()));
            return {l, &l->Pieces(), {0}};
        }
    }
    return {};
}

bool Inside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

std::string Describe(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "-" + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

}  // namespace

TEST_F(SkinRecordsTest, EveryRecordMakesAControlInsideItsSkinCutAtItsOwnSize) {
    for (const Window& window : kWindows) {
        SCOPED_TRACE(window.name);
        CSkinDialog dialog(window.templateId);
        ASSERT_TRUE(dialog.Create(window.templateId)) << "template " << window.templateId;
        const UINT* s = window.set;
        dialog.LoadSkinBitmaps(s[0], s[1], s[2], s[3], s[4]);
        dialog.LoadSecondSkinBitmaps(s[0], s[1], s[2], s[3], s[4]);
        const skin::PixelImage face = skin::ReadPixels(dialog.Image(CSkinDialog::ImageSet::Primary, skin::SkinRole::Face));
        ASSERT_FALSE(face.Empty());
        const RECT skin_rect{0, 0, dialog.SkinWidth(), dialog.SkinHeight()};
        EXPECT_EQ(dialog.SkinWidth(), face.width) << "the window takes the mask's size";
        HRGN shape = CreateRectRgn(0, 0, 0, 0);
        ASSERT_NE(GetWindowRgn(dialog.m_hWnd, shape), ERROR_REGION) << "the mask gives the window its shape";

        for (const Record& record : window.records) {
            SCOPED_TRACE("record " + std::to_string(record.id));
            const std::u16string text = Text(record.id);
            ASSERT_FALSE(text.empty());
            Add(dialog, record);
            const Made made = LastMade(dialog, record.kind);
            ASSERT_NE(made.control, nullptr) << "the record made no control";
            const RECT wanted = RecordRect(record, text);
            const RECT placed = RectInParent(*made.control);
            EXPECT_EQ(Describe(placed), Describe(wanted)) << "placed at the record's rectangle";
            EXPECT_GT(wanted.right, wanted.left);
            EXPECT_GT(wanted.bottom, wanted.top);
            EXPECT_TRUE(Inside(placed, skin_rect)) << Describe(placed) << " in " << Describe(skin_rect);
            EXPECT_TRUE(PtInRegion(shape, (placed.left + placed.right) / 2, (placed.top + placed.bottom) / 2))
                << "the control's centre lies inside the window's shape";

            const int w = wanted.right - wanted.left, h = wanted.bottom - wanted.top;
            for (std::size_t i : made.cut) {
                const SIZE size = skin::BitmapSize(made.pieces->Source(i));
                EXPECT_EQ(size.cx, w) << "piece " << i;
                EXPECT_EQ(size.cy, h) << "piece " << i;
            }
            // The normal piece is the face under the control.
            const skin::PixelImage normal = skin::ReadPixels(made.pieces->Source(0));
            if (!normal.Empty() && Inside(wanted, skin_rect)) {
                for (auto [x, y] : {std::pair{0, 0}, std::pair{w - 1, h - 1}, std::pair{w / 2, h / 2}})
                    EXPECT_EQ(normal.At(x, y) & 0xFFFFFF, face.At(wanted.left + x, wanted.top + y) & 0xFFFFFF)
                        << "at " << x << "," << y;
            }
            if (record.kind == Kind::Slider) {
                const RECT thumb = static_cast<CSkinSlider*>(made.control)->ThumbRect();
                EXPECT_TRUE(Inside(thumb, RECT{0, 0, w, h})) << "the thumb " << Describe(thumb) << " fits the slider";
            }
        }
        DeleteObject(shape);
        dialog.DestroyWindow();
    }
}

TEST_F(SkinRecordsTest, TheCancelCaptionFollowsItsButtonsHoverLook) {
    CSkinDialog dialog(103);
    ASSERT_TRUE(dialog.Create(103));
    dialog.LoadSkinBitmaps(216, 219, 215, 285, 218);
    dialog.AddButtonFromString(213);
    dialog.AddLabelFromString(215);
    ASSERT_EQ(dialog.ButtonCount(), 1u);
    const auto inside = dialog.LabelsInside(RectInParent(*dialog.Button(0)));
    ASSERT_EQ(inside.size(), 1u) << "the caption lies strictly inside BUTTON_CANCEL";
    EXPECT_EQ(inside[0]->Name(), u"TEXT_BUTTON_CANCEL");
    dialog.DestroyWindow();
}
