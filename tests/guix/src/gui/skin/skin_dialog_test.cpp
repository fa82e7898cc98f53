// The skinned dialog: loading a skin, the window's shape, controls made
// from records, look-ups by name, the tint cache and the image-set
// operations, read back as pixels on the headless backend.
#include "skin/SkinPixels.h"
#include "skin_test_support.h"
#include "ui/input.h"

using namespace skintest;
using uitest::Click;

namespace {

class SkinDialogTest : public SkinTest {};

RECT WindowRect(const CWnd& wnd) {
    RECT r;
    GetWindowRect(wnd.m_hWnd, &r);
    return r;
}

RECT RectInParent(const CWnd& control) {
    RECT r = WindowRect(control);
    MapWindowPoints(nullptr, GetParent(control.m_hWnd), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

}  // namespace

// --- Loading and shape --------------------------------------------------------

TEST_F(SkinDialogTest, TheWindowTakesTheMasksSizeAndShapeAndShowsTheFace) {
    RecordingDialog dialog;
    Open(dialog);
    EXPECT_EQ(WindowRect(dialog), (RECT{300, 200, 500, 260}));
    EXPECT_EQ(dialog.SkinWidth(), 200);
    EXPECT_EQ(dialog.SkinHeight(), 60);
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_TRUE(GetWindowLongW(dialog.m_hWnd, GWL_STYLE) & WS_CLIPCHILDREN) << "the background spares the controls";

    HRGN shape = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(GetWindowRgn(dialog.m_hWnd, shape), ERROR_REGION);
    EXPECT_FALSE(PtInRegion(shape, 0, 0)) << "the mask's one white pixel";
    EXPECT_TRUE(PtInRegion(shape, 1, 0));
    EXPECT_TRUE(PtInRegion(shape, 199, 59));
    DeleteObject(shape);

    EXPECT_EQ(Shown(dialog, 150, 50), Coded(kFaceCode, 150, 50));
    auto shown = Headless().Capture(dialog.m_hWnd);
    EXPECT_EQ(shown->Get(0, 0) >> 24, 0u) << "outside the shape";
}

TEST_F(SkinDialogTest, LoadingAgainRemovesEveryControlAndImage) {
    RecordingDialog dialog;
    Open(dialog);
    dialog.AddButtonFromString(IDS_BUTTON_ONE);
    dialog.AddLabelFromString(IDS_LABEL_A);
    dialog.AddProgressFromString(IDS_PROGRESS_A);
    dialog.AddSliderFromString(IDS_SLIDER_COLOR, IDB_THUMB, IDB_THUMB_PRESSED);
    HWND button = dialog.Button(0)->m_hWnd;
    dialog.LoadSkinBitmaps(IDB_GREY_FACE, IDB_GREY_MASK, IDB_GREY_HOVER, IDB_GREY_PRESSED, IDB_GREY_DISABLED);
    Pump();
    EXPECT_EQ(dialog.ButtonCount() + dialog.LabelCount() + dialog.ProgressCount() + dialog.SliderCount(), 0u);
    EXPECT_FALSE(IsWindow(button));
    EXPECT_EQ(dialog.Image(CSkinDialog::ImageSet::Second, skin::SkinRole::Face), nullptr);
    EXPECT_EQ(WindowRect(dialog), (RECT{300, 200, 400, 240})) << "new size, same place";
    EXPECT_EQ(Shown(dialog, 50, 20), 0x808080u);
}

TEST_F(SkinDialogTest, AnAllWhiteMaskShowsNothing) {
    RecordingDialog dialog;
    ASSERT_TRUE(dialog.Create());
    dialog.LoadSkinBitmaps(IDB_FACE, IDB_WHITE_MASK, IDB_HOVER, IDB_PRESSED, IDB_DISABLED);
    dialog.ShowWindow(SW_SHOW);
    Pump();
    EXPECT_TRUE(m_boxes.empty());
    HRGN shape = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(GetWindowRgn(dialog.m_hWnd, shape), ERROR_REGION);
    RECT box;
    EXPECT_EQ(GetRgnBox(shape, &box), NULLREGION);
    DeleteObject(shape);
    auto shown = Headless().Capture(dialog.m_hWnd);
    for (int x = 0; x < 20; ++x) EXPECT_EQ(shown->Get(x, 5) >> 24, 0u);
}

TEST_F(SkinDialogTest, AMissingMaskTellsTheUserAndKeepsTheRectangle) {
    RecordingDialog dialog;
    ASSERT_TRUE(dialog.Create());
    const RECT before = WindowRect(dialog);
    dialog.LoadSkinBitmaps(IDB_FACE, IDB_MISSING, IDB_HOVER, IDB_PRESSED, IDB_DISABLED);
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0], u"Can not create region from Bitmap.");
    EXPECT_EQ(WindowRect(dialog), before);
    HRGN shape = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetWindowRgn(dialog.m_hWnd, shape), ERROR_REGION) << "no shape: the whole rectangle";
    DeleteObject(shape);
    EXPECT_EQ(dialog.SkinWidth(), before.right - before.left);
}

// --- Controls from records ----------------------------------------------------

TEST_F(SkinDialogTest, ControlsAreCutFromTheImagesAtTheirRecordsRectangle) {
    RecordingDialog dialog;
    Open(dialog);
    dialog.AddButtonFromString(IDS_BUTTON_ONE);
    dialog.AddAltButtonFromString(IDS_BUTTON_TWO);
    dialog.AddProgressFromString(IDS_PROGRESS_A);
    dialog.AddLabelFromString(IDS_LABEL_A);
    ASSERT_EQ(dialog.ButtonCount(), 2u);
    EXPECT_EQ(RectInParent(*dialog.Button(0)), (RECT{10, 10, 40, 26}));
    EXPECT_EQ(dialog.Button(0)->Name(), u"BUTTON_ONE");
    EXPECT_EQ(dialog.Button(1)->Index(), 1);
    EXPECT_TRUE(dialog.Button(1)->IsToggle());
    EXPECT_FALSE(dialog.Button(0)->IsToggle());
    EXPECT_EQ(GetDlgCtrlID(dialog.Button(0)->m_hWnd), 0);
    EXPECT_FALSE(GetWindowLongW(dialog.Button(0)->m_hWnd, GWL_STYLE) & WS_TABSTOP);

    EXPECT_EQ(Shown(dialog, 12, 14), Coded(kFaceCode, 12, 14)) << "the normal piece, from the face";
    EXPECT_EQ(Shown(dialog, 52, 14), Coded(kFace2Code, 52, 14)) << "an alternative button, from the second face";
    EXPECT_EQ(Shown(dialog, 15, 38), Coded(kFaceCode, 15, 38)) << "an empty progress bar";
}

TEST_F(SkinDialogTest, AMovedControlKeepsThePiecesOfItsRecord) {
    RecordingDialog dialog;
    Open(dialog);
    dialog.AddButtonFromString(IDS_BUTTON_ONE, 150, 30);
    dialog.AddSliderFromString(IDS_SLIDER_COLOR, IDB_THUMB, IDB_THUMB_PRESSED, 0, 2);
    EXPECT_EQ(RectInParent(*dialog.Button(0)), (RECT{150, 30, 180, 46}));
    EXPECT_EQ(Shown(dialog, 151, 31), Coded(kFaceCode, 11, 11)) << "the piece cut at (10, 10)";
    EXPECT_EQ(RectInParent(*dialog.Slider(0)), (RECT{0, 2, 100, 18})) << "a y alone moves it, to x 0";
}

TEST_F(SkinDialogTest, MissingOrEmptyRecordsAddNothing) {
    RecordingDialog dialog;
    Open(dialog);
    dialog.AddButtonFromString(IDS_MISSING);
    dialog.AddAltButtonFromString(IDS_MISSING);
    dialog.AddProgressFromString(IDS_MISSING);
    dialog.AddSliderFromString(IDS_MISSING, IDB_THUMB, IDB_THUMB_PRESSED);
    dialog.AddLabelFromString(IDS_MISSING);
    dialog.AddLabelFromRecord(u"", RECT{});
    EXPECT_EQ(dialog.ButtonCount() + dialog.LabelCount() + dialog.ProgressCount() + dialog.SliderCount(), 0u);
}

TEST_F(SkinDialogTest, ALabelRecordMadeAtRunTimeMayBringItsOwnRectangle) {
    RecordingDialog dialog;
    Open(dialog);
    dialog.AddLabelFromRecord(u"LINE,DejaVu Sans,,,12,0,1,2,3,4,Model X,", RECT{15, 22, 180, 37});
    dialog.AddLabelFromRecord(u"LINE2,DejaVu Sans,,,12,0,10,40,50,14,Serial,", RECT{});
    ASSERT_EQ(dialog.LabelCount(), 2u);
    EXPECT_EQ(RectInParent(*dialog.Label(0)), (RECT{15, 22, 180, 37}));
    EXPECT_EQ(RectInParent(*dialog.Label(1)), (RECT{10, 40, 60, 54}));
    EXPECT_EQ(dialog.Label(0)->GetText(), u"Model X");
}

TEST_F(SkinDialogTest, TheLabelFontFollowsTheRecord) {
    RecordingDialog dialog;
    Open(dialog);
    dialog.AddLabelFromString(IDS_LABEL_A);  // bold, size 13, red
    dialog.AddLabelFromRecord(u"UNKNOWN_FACE,No Such Face Anywhere,,T,17,0,10,40,50,14,x,", RECT{});
    dialog.AddLabelFromRecord(u"KNOWN_FACE,DejaVu Sans,,T,17,0,10,40,50,14,x,", RECT{});
    LOGFONTW log;
    ASSERT_TRUE(GetObjectW(dialog.Label(0)->GetFont(), sizeof log, &log));
    EXPECT_EQ(log.lfHeight, 13) << "a cell height of size pixels";
    EXPECT_EQ(log.lfWeight, FW_BOLD);
    EXPECT_EQ(log.lfItalic, 0);
    EXPECT_EQ(dialog.Label(0)->GetTextColor(), COLORREF(255));
    ASSERT_TRUE(GetObjectW(dialog.Label(1)->GetFont(), sizeof log, &log));
    EXPECT_EQ(log.lfHeight, 17);
    EXPECT_EQ(log.lfWeight, FW_NORMAL);
    EXPECT_EQ(log.lfItalic, 1);
    auto cell_height = [](HFONT font) {
        skin::MemoryDC dc;
        SelectObject(dc.Get(), font);
        TEXTMETRICW tm;
        return GetTextMetricsW(dc.Get(), &tm) ? tm.tmHeight : -1;
    };
    const LONG fallback = cell_height(dialog.Label(1)->GetFont());
    EXPECT_NEAR(fallback, 17, 1);
    EXPECT_EQ(fallback, cell_height(dialog.Label(2)->GetFont()))
        << "an unknown face falls back and keeps the pixel height";
}

// --- By name ------------------------------------------------------------------

TEST_F(SkinDialogTest, NamesMatchExactlyAndTheFirstMatchWins) {
    RecordingDialog dialog;
    Open(dialog);
    dialog.AddButtonFromString(IDS_BUTTON_ONE);
    dialog.AddButtonFromString(IDS_BUTTON_ONE_AGAIN);
    dialog.SetButtonState(u"BUTTON_ONE", TRUE);
    EXPECT_TRUE(dialog.Button(0)->GetState());
    EXPECT_FALSE(dialog.Button(1)->GetState());
    dialog.EnableButton(u"BUTTON_ONE", FALSE);
    EXPECT_FALSE(IsWindowEnabled(dialog.Button(0)->m_hWnd));
    EXPECT_TRUE(IsWindowEnabled(dialog.Button(1)->m_hWnd));
    for (std::u16string_view other : {u"button_one", u"BUTTON_ON", u"BUTTON_ONE ", u""}) {
        dialog.EnableButton(other, TRUE);
        EXPECT_FALSE(IsWindowEnabled(dialog.Button(0)->m_hWnd)) << Utf8(std::u16string(other));
    }
}

TEST_F(SkinDialogTest, UnknownNamesDoNothing) {
    RecordingDialog dialog;
    Open(dialog);
    dialog.AddLabelFromString(IDS_LABEL_A);
    dialog.AddProgressFromString(IDS_PROGRESS_A);
    dialog.AddSliderFromString(IDS_SLIDER_COLOR, IDB_THUMB, IDB_THUMB_PRESSED);
    dialog.AddButtonFromString(IDS_BUTTON_ONE);
    dialog.SetLabelText(u"NO_SUCH_LABEL", u"changed");
    dialog.SetLabelColor(u"NO_SUCH_LABEL", 0, RGB(1, 2, 3));
    dialog.SetLabelTooltip(u"NO_SUCH_LABEL", 0, u"tip");
    dialog.SetProgressPos(u"NO_SUCH_PROGRESS", 50);
    dialog.SetSliderPos(u"NO_SUCH_SLIDER", 80);
    dialog.EnableButton(u"NO_SUCH_BUTTON", FALSE);
    dialog.SetButtonState(u"NO_SUCH_BUTTON", TRUE);
    dialog.SetProgressPos(u"LABEL_A", 50);  // a name of another kind
    Pump();
    EXPECT_EQ(dialog.Label(0)->GetText(), u"Hi");
    EXPECT_EQ(dialog.Label(0)->GetTextColor(), COLORREF(255));
    EXPECT_EQ(dialog.Progress(0)->GetPos(), 0);
    EXPECT_EQ(dialog.Slider(0)->GetPos(), 30);
    EXPECT_TRUE(IsWindowEnabled(dialog.Button(0)->m_hWnd));
    EXPECT_FALSE(dialog.Button(0)->GetState());
}

TEST_F(SkinDialogTest, AnEmptyNameTakesTheLabelAtTheIndex) {
    RecordingDialog dialog;
    Open(dialog);
    dialog.AddLabelFromString(IDS_LABEL_A);
    dialog.AddLabelFromString(IDS_LABEL_LONG);
    dialog.SetLabelColor(u"", 2, RGB(9, 9, 9));
    dialog.SetLabelColor(u"", -1, RGB(9, 9, 9));
    EXPECT_EQ(dialog.Label(0)->GetTextColor(), COLORREF(255));
    EXPECT_EQ(dialog.Label(1)->GetTextColor(), COLORREF(0)) << "index 2 of two labels changes nothing";
    dialog.AddLabelFromString(IDS_LABEL_CAPTION);
    dialog.SetLabelColor(u"", 2, RGB(9, 9, 9));
    EXPECT_EQ(dialog.Label(2)->GetTextColor(), RGB(9, 9, 9)) << "the third label";
    dialog.SetLabelColor(u"LABEL_A", 2, RGB(7, 7, 7));
    EXPECT_EQ(dialog.Label(0)->GetTextColor(), RGB(7, 7, 7)) << "a name wins over the index";
    dialog.SetLabelTooltip(u"", 1, u"A tip by index");
    EXPECT_TRUE(dialog.Label(1)->Tooltip().Exists());
}

TEST_F(SkinDialogTest, NotificationsCarryTheControlsName) {
    RecordingDialog dialog;
    Open(dialog);
    dialog.AddButtonFromString(IDS_BUTTON_ONE);
    dialog.AddProgressFromString(IDS_PROGRESS_A);
    dialog.AddLabelFromString(IDS_LABEL_A);
    dialog.OnSkinButtonIndex(0);
    dialog.OnSkinButtonIndex(1);   // no such button
    dialog.OnSkinButtonIndex(-1);
    dialog.OnSkinProgressIndex(0);
    dialog.OnSkinLabelIndex(0);
    dialog.OnSkinSliderIndex(0, 8, 3);  // no slider
    EXPECT_EQ(dialog.events, (std::vector<std::string>{"button BUTTON_ONE", "progress PROGRESS_A", "label LABEL_A"}));
}

TEST_F(SkinDialogTest, AButtonWhoseClickClosesTheDialogOutlivesItsHandler) {
    RecordingDialog dialog;
    Open(dialog);
    dialog.closeOn = u"BUTTON_ONE";
    dialog.AddButtonFromString(IDS_BUTTON_ONE);
    Click(ScreenPoint(dialog, 20, 15));
    Pump();
    EXPECT_FALSE(dialog.m_hWnd);
    EXPECT_EQ(dialog.events, (std::vector<std::string>{"button BUTTON_ONE"}));
    EXPECT_EQ(dialog.ButtonCount(), 0u);
}

TEST_F(SkinDialogTest, DeletingAListRemovesItsControls) {
    RecordingDialog dialog;
    Open(dialog);
    dialog.AddButtonFromString(IDS_BUTTON_ONE);
    dialog.AddButtonFromString(IDS_BUTTON_TWO);
    dialog.AddSliderFromString(IDS_SLIDER_COLOR, IDB_THUMB, IDB_THUMB_PRESSED);
    dialog.AddLabelFromString(IDS_LABEL_A);
    HWND first = dialog.Button(0)->m_hWnd;
    dialog.DeleteButtons();
    EXPECT_EQ(dialog.ButtonCount(), 0u);
    EXPECT_FALSE(IsWindow(first));
    EXPECT_EQ(dialog.SliderCount(), 1u);
    dialog.DeleteSliders();
    dialog.DeleteLabels();
    EXPECT_EQ(dialog.SliderCount() + dialog.LabelCount(), 0u);
    dialog.AddButtonFromString(IDS_BUTTON_TWO);
    EXPECT_EQ(dialog.Button(0)->Index(), 0) << "indices count again from 0";
    EXPECT_EQ(Shown(dialog, 12, 14), Coded(kFaceCode, 12, 14)) << "the background where a button was";
}

// --- Tint cache -----------------------------------------------------------------

TEST_F(SkinDialogTest, TheTintCacheIsRebuiltOncePerIndexChange) {
    RecordingDialog dialog;
    dialog.tintedPaint = true;
    Open(dialog, true);
    const int at_start = dialog.TintCacheRebuilds();
    EXPECT_EQ(Shown(dialog, 50, 20), 0x808080u) << "index 0 shows the skin as it is";
    dialog.SetColorIndex(16);
    dialog.Invalidate(FALSE);
    EXPECT_EQ(Shown(dialog, 50, 20), 0x802525u) << "grey 128 with index 16";
    EXPECT_EQ(dialog.TintCacheRebuilds(), at_start + 1);
    dialog.Invalidate(FALSE);
    EXPECT_EQ(Shown(dialog, 50, 20), 0x802525u);
    EXPECT_EQ(dialog.TintCacheRebuilds(), at_start + 1) << "the same index draws from the cache";
    EXPECT_EQ(skin::ReadPixels(dialog.Image(CSkinDialog::ImageSet::Tinted, skin::SkinRole::Hover)).At(0, 0) & 0xFFFFFF,
              0xC83A3Au) << "hover grey 200 tinted too";
    dialog.SetColorIndex(0);
    dialog.Invalidate(FALSE);
    EXPECT_EQ(Shown(dialog, 50, 20), 0x808080u);
    EXPECT_EQ(dialog.TintCacheRebuilds(), at_start + 2);
}

TEST_F(SkinDialogTest, ReloadingTheSkinForgetsTheTintedCache) {
    RecordingDialog dialog;
    dialog.tintedPaint = true;
    Open(dialog, true);
    dialog.SetColorIndex(16);
    dialog.Invalidate(FALSE);
    EXPECT_EQ(Shown(dialog, 50, 20), 0x802525u);
    dialog.LoadSkinBitmaps(IDB_GREY_FACE, IDB_GREY_MASK, IDB_GREY_HOVER, IDB_GREY_PRESSED, IDB_GREY_DISABLED);
    EXPECT_EQ(Shown(dialog, 50, 20), 0x802525u) << "still tinted with the index in force";
}

TEST_F(SkinDialogTest, ControlsTintTheirPiecesOncePerIndex) {
    RecordingDialog dialog;
    dialog.tintedPaint = true;
    Open(dialog, true);
    dialog.AddButtonFromString(IDS_BUTTON_ONE);
    dialog.AddSliderFromString(IDS_SLIDER_COLOR, IDB_THUMB, IDB_THUMB_PRESSED);
    Pump();
    CSkinButton* button = dialog.Button(0);
    CSkinSlider* slider = dialog.Slider(0);
    const int button_builds = button->Pieces().Rebuilds();
    const int slider_builds = slider->Pieces().Rebuilds();
    dialog.SetColorIndex(16);
    dialog.Invalidate(FALSE);
    Pump();
    EXPECT_EQ(Shown(dialog, 12, 14), 0x802525u) << "the button's grey piece, tinted";
    EXPECT_EQ(button->Pieces().Rebuilds(), button_builds + 1);
    EXPECT_EQ(slider->Pieces().Rebuilds(), slider_builds + 1);
    EXPECT_EQ(button->Pieces().MadeFor(), 16);
    for (int i = 0; i < 3; ++i) {
        dialog.Invalidate(FALSE);
        button->Invalidate(FALSE);
        slider->Invalidate(FALSE);
        Pump();
    }
    EXPECT_EQ(button->Pieces().Rebuilds(), button_builds + 1);
    EXPECT_EQ(slider->Pieces().Rebuilds(), slider_builds + 1);
}

// --- Image-set operations -----------------------------------------------------------

TEST_F(SkinDialogTest, StretchingToTheSameSizeChangesNoPixel) {
    RecordingDialog dialog;
    Open(dialog);
    const skin::PixelImage before =
        skin::ReadPixels(dialog.Image(CSkinDialog::ImageSet::Working, skin::SkinRole::Face));
    dialog.StretchSkin(200, 60, 50, 20);
    Pump();
    EXPECT_EQ(skin::ReadPixels(dialog.Image(CSkinDialog::ImageSet::Working, skin::SkinRole::Face)).pixels,
              before.pixels);
    EXPECT_EQ(WindowRect(dialog), (RECT{300, 200, 500, 260}));
}

TEST_F(SkinDialogTest, StretchingResizesTheWindowAndItsShape) {
    RecordingDialog dialog;
    Open(dialog);
    dialog.StretchSkin(210, 62, 50, 20);
    Pump();
    EXPECT_EQ(WindowRect(dialog), (RECT{300, 200, 510, 262}));
    EXPECT_EQ(dialog.SkinWidth(), 210);
    EXPECT_EQ(dialog.SkinHeight(), 62);
    for (int x = 50; x <= 60; ++x) EXPECT_EQ(Shown(dialog, x, 5), Coded(kFaceCode, 50, 5)) << "column " << x;
    EXPECT_EQ(Shown(dialog, 61, 5), Coded(kFaceCode, 51, 5));
    EXPECT_EQ(Shown(dialog, 209, 61), Coded(kFaceCode, 199, 59));
    HRGN shape = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(GetWindowRgn(dialog.m_hWnd, shape), ERROR_REGION);
    EXPECT_TRUE(PtInRegion(shape, 209, 61));
    EXPECT_FALSE(PtInRegion(shape, 0, 0));
    DeleteObject(shape);
}

TEST_F(SkinDialogTest, TilingAndAppendingBuildTheWorkingSetOnly) {
    RecordingDialog dialog;
    Open(dialog);
    dialog.TileFace(2);
    const skin::PixelImage tiled = skin::ReadPixels(dialog.Image(CSkinDialog::ImageSet::Working, skin::SkinRole::Pressed));
    ASSERT_EQ(tiled.width, 400) << "the pressed image is tiled like the others";
    EXPECT_EQ(tiled.At(210, 3) & 0xFFFFFF, Coded(kPressedCode, 10, 3));
    EXPECT_EQ(skin::BitmapSize(dialog.Image(CSkinDialog::ImageSet::Primary, skin::SkinRole::Pressed)).cx, 200)
        << "the primary set stays as loaded";
    dialog.TileFace(1);
    dialog.AppendSecond();
    const skin::PixelImage face = skin::ReadPixels(dialog.Image(CSkinDialog::ImageSet::Working, skin::SkinRole::Face));
    ASSERT_EQ(face.width, 400);
    EXPECT_EQ(face.At(199, 0) & 0xFFFFFF, Coded(kFaceCode, 199, 0));
    EXPECT_EQ(face.At(200, 0) & 0xFFFFFF, Coded(kFace2Code, 0, 0));
    dialog.AppendPrimary();
    EXPECT_EQ(skin::BitmapSize(dialog.Image(CSkinDialog::ImageSet::Working, skin::SkinRole::Mask)).cx, 600);
    EXPECT_EQ(WindowRect(dialog), (RECT{300, 200, 500, 260})) << "only StretchSkin resizes the window";
    dialog.StretchSkin(600, 60, 0, 0);
    EXPECT_EQ(WindowRect(dialog), (RECT{300, 200, 900, 260}));
}
