// LUMEXRS.DLL as the GUI uses it: every identifier the GUI names is there,
// texts take the arguments the code passes, records have their kind's
// fields and sit where the code cuts them, skins are five images of one
// size that obey the LED window's geometry, the LED window's body is grey
// for the tint, and the LED looks tell reading from writing without colour
// vision.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "PackedVersion.h"
#include "base/format.h"
#include "base/text.h"
#include "resource/module.h"
#include "ui/avi_clip.h"
#include "ui/bitmap.h"
#include "ui/menu.h"
#include "ui/object_table.h"
#include "ui/resource_images.h"
#include "ui/ui.h"

namespace {

using Bitmap = std::shared_ptr<plat::ui::Bitmap>;

class LibraryTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("LUMETRA_UI_BACKEND", "headless", 1);
        s_library = LoadLibraryW(plat::Utf8ToUtf16(LUMEX_LIBRARY).c_str());
    }
    static void TearDownTestSuite() { FreeLibrary(s_library); }
    void SetUp() override { ASSERT_NE(s_library, nullptr) << LUMEX_LIBRARY; }

    static std::u16string Text(UINT id) {
        const WCHAR* text = nullptr;
        const int n = LoadStringW(s_library, id, reinterpret_cast<LPWSTR>(&text), 0);
        return n > 0 ? std::u16string(text, std::size_t(n)) : std::u16string();
    }
    static Bitmap Image(UINT id) {
        HBITMAP handle = LoadBitmapW(s_library, MAKEINTRESOURCEW(id));
        return handle ? plat::ui::Lookup<plat::ui::Bitmap>(handle) : nullptr;
    }
    static std::vector<std::u16string> Fields(UINT id) {
        std::vector<std::u16string> fields;
        const std::u16string record = Text(id);
        for (std::size_t from = 0;;) {
            const std::size_t comma = record.find(u',', from);
            fields.push_back(record.substr(from, comma - from));
            if (comma == std::u16string::npos) return fields;
            from = comma + 1;
        }
    }
    static int Number(const std::u16string& field) { return std::atoi(plat::Utf16ToUtf8(field).c_str()); }
    // The layout value n (1 to 17) of string 211.
    static int Layout(int n) { return Number(Fields(211).at(std::size_t(2 * n - 1))); }

    static HMODULE s_library;
};

HMODULE LibraryTest::s_library = nullptr;

int Red(std::uint32_t p) { return (p >> 16) & 0xFF; }
int Green(std::uint32_t p) { return (p >> 8) & 0xFF; }
int Blue(std::uint32_t p) { return p & 0xFF; }
bool IsGrey(std::uint32_t p) { return Red(p) == Green(p) && Green(p) == Blue(p); }
bool IsWhite(std::uint32_t p) { return (p & 0xFFFFFF) == 0xFFFFFF; }
double Luma(std::uint32_t p) { return 0.299 * Red(p) + 0.587 * Green(p) + 0.114 * Blue(p); }

// A colour as a person with protanopia or deuteranopia sees it (the
// Vienot-Brettel-Mollon matrices on sRGB values, a usual approximation).
struct Seen {
    double r, g, b;
};
Seen AsDichromat(std::uint32_t p, bool protan) {
    const double r = Red(p), g = Green(p), b = Blue(p);
    if (protan) return {0.1124 * r + 0.8876 * g, 0.1124 * r + 0.8876 * g, 0.0040 * r - 0.0040 * g + b};
    return {0.2920 * r + 0.7080 * g, 0.2920 * r + 0.7080 * g, -0.0223 * r + 0.0223 * g + b};
}
double Distance(Seen a, Seen b) { return std::hypot(a.r - b.r, a.g - b.g, a.b - b.b); }

struct SkinSet {
    const char* window;
    UINT face, mask, hover, pressed, disabled;
};
// In the order the code passes them: face, mask, hover, pressed, disabled.
constexpr SkinSet kSkinSets[] = {
    {"LED window primary", 211, 213, 214, 261, 212},
    {"LED window second", 271, 273, 274, 272, 297},
    {"details dialog", 171, 175, 170, 269, 173},
    {"self-test dialog", 216, 219, 215, 285, 218},
};

}  // namespace

TEST_F(LibraryTest, CarriesFileVersion102) {
    WCHAR path[4096];
    const DWORD n = GetModuleFileNameW(s_library, path, 4096);
    const auto version = ReadPackedFileVersion(std::u16string(path, n));
    ASSERT_TRUE(version);
    EXPECT_EQ(version->high, PackedVersion::Of(1, 0, 2).high) << plat::Utf16ToUtf8(version->Text());
}

TEST_F(LibraryTest, EveryStringTheGuiNamesIsThere) {
    std::vector<UINT> ids = {149, 150, 151, 152, 154, 156, 157, 172, 180, 200, 202, 203, 204, 205, 206, 208,
                             210, 211, 212, 213, 214, 215, 216, 217, 218, 225, 226, 227, 228, 229, 230, 231,
                             232, 233, 234, 246, 247, 248, 249, 250, 264, 265, 266, 267, 268};
    for (UINT id = 158; id <= 168; ++id) ids.push_back(id);
    for (UINT id = 182; id <= 190; ++id) ids.push_back(id);
    for (UINT id = 235; id <= 244; ++id) ids.push_back(id);
    for (UINT id = 251; id <= 263; ++id) ids.push_back(id);
    for (UINT id = 269; id <= 277; ++id) ids.push_back(id);
    EXPECT_EQ(ids.size(), 97u);
    for (UINT id : ids) EXPECT_FALSE(Text(id).empty()) << "string " << id;
    EXPECT_EQ(Text(154), u"English");
}

TEST_F(LibraryTest, TextsTakeTheArgumentsTheCodePasses) {
    const std::u16string na = Text(202);
    const long long big = 1234567890123LL;
    const std::vector<std::pair<UINT, std::function<std::u16string(const std::u16string&)>>> uses = {
        {158, [&](auto& f) { return plat::Format(f, u"1 day 6 hours"); }},
        {159, [&](auto& f) { return plat::Format(f, 5000, 10000); }},
        {160, [&](auto& f) { return plat::Format(f, u"1.500"); }},
        {161, [&](auto& f) { return plat::Format(f, u"0.005"); }},
        {162, [&](auto& f) { return plat::Format(f, u"12", u"2019"); }},
        {163, [&](auto& f) { return plat::Format(f, big); }},
        {164, [&](auto& f) { return plat::Format(f, big); }},
        {165, [&](auto& f) { return plat::Format(f, big); }},
        {166, [&](auto& f) { return plat::Format(f, big); }},
        {167, [&](auto& f) { return plat::Format(f, big); }},
        {168, [&](auto& f) { return plat::Format(f, u"C", 40, 60); }},
        {180, [&](auto& f) { return plat::Format(f, u"Model"); }},
        {190, [&](auto& f) { return plat::Format(f, u"F", na); }},
        {225, [&](auto& f) { return plat::Format(f, u"Temperature", u"\t", 100, 97, 0); }},
        {232, [&](auto& f) { return plat::Format(f, u"01:01:01"); }},
        {233, [&](auto& f) { return plat::Format(f, Text(235)); }},
        {246, [&](auto& f) { return plat::Format(f, u"FW1", u"SN1"); }},
        {248, [&](auto& f) { return plat::Format(f, 3); }},
        {268, [&](auto& f) { return plat::Format(f, na); }},
        {230, [&](auto& f) { return plat::Format(f, na); }},
        {275, [&](auto& f) { return plat::Format(f, u"12.346"); }},
    };
    for (UINT id : {172u, 182u, 183u, 184u, 185u, 186u, 187u, 188u, 189u}) {
        EXPECT_EQ(plat::Format(Text(id), na).find(u"%!"), std::u16string::npos) << "string " << id;
    }
    for (const auto& [id, use] : uses) {
        const std::u16string text = use(Text(id));
        EXPECT_EQ(text.find(u"%!"), std::u16string::npos) << "string " << id << ": " << plat::Utf16ToUtf8(text);
        EXPECT_EQ(text.find(u'%'), std::u16string::npos) << "string " << id << " keeps a conversion";
    }
    // Texts the code prints as they are or uses as formats without
    // arguments must hold no conversion.
    for (UINT id : {210u, 216u, 227u, 228u, 229u, 231u, 234u, 235u, 236u, 237u, 238u, 239u, 240u, 241u, 247u}) {
        EXPECT_EQ(plat::Format(Text(id)), Text(id)) << "string " << id;
    }
}

TEST_F(LibraryTest, RecordsHaveTheFieldsAndNamesTheCodeLooksFor) {
    struct Record {
        UINT id;
        std::size_t fields;
        const char16_t* name;
    };
    const Record records[] = {
        {212, 6, u"BUTTON_SMART"},         {251, 6, u"BUTTON_OPTIONS"},     {252, 6, u"BUTTON_EXIT"},
        {253, 6, u"BUTTON_MINIMIZE"},      {254, 7, u"BUTTON_CD"},          {255, 7, u"BUTTON_NET"},
        {256, 7, u"BUTTON_TAPE"},          {257, 7, u"BUTTON_REMOVABLE"},   {258, 6, u"BUTTON_ONLINE_HELP"},
        {259, 6, u"BUTTON_ABOUT_BOX"},     {260, 7, u"BUTTON_AUTO_HIDE"},   {261, 7, u"BUTTON_AUTO_SNAP"},
        {262, 7, u"BUTTON_ALWAYS_ON_TOP"}, {263, 7, u"BUTTON_KEYBOARD_LED"}, {266, 10, u"SLIDER_ALPHA"},
        {267, 10, u"SLIDER_COLOR"},        {156, 6, u"BUTTON_EXIT"},        {157, 6, u"BUTTON_MINIMIZE"},
        {200, 6, u"BUTTON_SAVE"},          {217, 6, u"BUTTON_EXIT"},        {218, 6, u"BUTTON_MINIMIZE"},
        {213, 6, u"BUTTON_CANCEL"},        {214, 7, u"PROGRESS_A"},         {215, 11, u"TEXT_BUTTON_CANCEL"},
        {268, 11, u"SMART_SELF_TEST_TIME_LABEL"}, {230, 11, u"SMART_SELF_TEST_RESULT_LABEL_STATUS"},
    };
    for (const Record& r : records) {
        const auto fields = Fields(r.id);
        EXPECT_EQ(fields.size(), r.fields) << "record " << r.id;
        EXPECT_EQ(fields[0], r.name) << "record " << r.id;
        if (r.fields == 7 && fields[0].starts_with(u"BUTTON_")) {
            EXPECT_EQ(fields[6], u"T") << "a toggle: " << r.id;
        }
    }
    // Label records: exactly ten fields before the text and no tooltip, so
    // the report's line is the label's text.
    std::vector<UINT> labels = {172, 180, 182, 183, 184, 185, 186, 187, 188, 189, 190, 215, 228, 229, 230, 231, 246, 248, 268};
    for (UINT id = 158; id <= 168; ++id) labels.push_back(id);
    for (UINT id : labels) EXPECT_EQ(Fields(id).size(), 11u) << "label record " << id;
}

TEST_F(LibraryTest, SkinSetsAreFiveImagesOfOneSize) {
    for (const SkinSet& set : kSkinSets) {
        const Bitmap face = Image(set.face);
        ASSERT_TRUE(face) << set.window;
        for (UINT id : {set.mask, set.hover, set.pressed, set.disabled}) {
            const Bitmap image = Image(id);
            ASSERT_TRUE(image) << set.window << " bitmap " << id;
            EXPECT_EQ(image->Width(), face->Width()) << set.window << " bitmap " << id;
            EXPECT_EQ(image->Height(), face->Height()) << set.window << " bitmap " << id;
        }
    }
}

TEST_F(LibraryTest, TheLedWindowsImagesFollowItsLayout) {
    const int led_w = Layout(2), led_h = Layout(3), spacing = Layout(6), margin = Layout(7);
    ASSERT_EQ(Fields(211).size(), 34u) << "17 pairs";
    EXPECT_GT(led_w, 0);
    EXPECT_GT(led_h, 0);
    EXPECT_EQ(margin, 2) << "the next row starts margin + 60 after a row";
    const int height = led_h + 2 * (spacing + margin);
    const Bitmap primary = Image(211), second = Image(271);
    EXPECT_EQ(primary->Height(), height) << "H = LED height + 2 x (spacing + margin)";
    EXPECT_EQ(second->Height(), height);
    EXPECT_EQ(second->Width(), 187);
    EXPECT_LE(primary->Width(), 161);
    // The tile must shrink to a row without letters at its stretch column.
    const int narrowest_row = spacing + 2 * margin + 92;
    for (int column : {Layout(8), Layout(12)}) {
        EXPECT_LE(primary->Width() - narrowest_row, column);
        EXPECT_LT(column, primary->Width());
    }
    EXPECT_GE(primary->Width(), 74) << "room for the 58-pixel band that ends 16 pixels before the right edge";

    const Bitmap leds = Image(259), icons = Image(258), boxes = Image(260);
    EXPECT_EQ(leds->Width(), 6 * led_w);
    EXPECT_EQ(leds->Height(), led_h);
    EXPECT_EQ(icons->Width(), 5 * 28);
    EXPECT_EQ(icons->Height(), 28);
    EXPECT_EQ(boxes->Width(), 6 * 53);
    EXPECT_EQ(boxes->Height(), 27);
    EXPECT_LE(spacing + margin - 1 + 28, height) << "the row icon fits the window's height";

    // The S.M.A.R.T. button is cut where the code places it in a one-letter row.
    const auto smart = Fields(212);
    EXPECT_EQ(Number(smart[1]), primary->Width() - 45);
    EXPECT_EQ(Number(smart[2]), 27);
    for (UINT id : {281u, 282u, 283u, 284u, 295u}) EXPECT_TRUE(Image(id)) << "bitmap " << id;
}

TEST_F(LibraryTest, ControlsAreCutInsideTheirSkinWhereTheyAreShown) {
    struct Placed {
        UINT id;
        int x, y;  // where the code puts the piece, in the image it is cut from
        UINT face, mask;
        int rect;  // index of the x field
    };
    const Placed placed[] = {
        {254, 1, 0, 271, 273, 1},     {255, 17, 0, 271, 273, 1},    {256, 1, 16, 271, 273, 1},
        {257, 17, 16, 271, 273, 1},   {260, 107, 1, 271, 273, 1},   {261, 107, 16, 271, 273, 1},
        {262, 124, 1, 271, 273, 1},   {263, 124, 16, 271, 273, 1},  {258, 145, 1, 271, 273, 1},
        {259, 145, 16, 271, 273, 1},  {267, 34, 4, 271, 273, 3},    {266, 34, 19, 271, 273, 3},
        {251, 179, 5, 271, 273, 1},   {252, 164, 1, 271, 273, 1},   {253, 164, 16, 271, 273, 1},
        {212, 75, 27, 211, 213, 1},   {156, -1, -1, 171, 175, 1},   {157, -1, -1, 171, 175, 1},
        {200, -1, -1, 171, 175, 1},   {217, -1, -1, 216, 219, 1},   {218, -1, -1, 216, 219, 1},
        {213, -1, -1, 216, 219, 1},   {214, -1, -1, 216, 219, 2},   {215, -1, -1, 216, 219, 6},
        {268, -1, -1, 216, 219, 6},   {230, -1, -1, 216, 219, 6},   {231, -1, -1, 216, 219, 6},
        {248, -1, -1, 216, 219, 6},   {248, -1, -1, 171, 175, 6},
    };
    for (const Placed& p : placed) {
        const auto f = Fields(p.id);
        const int x = Number(f[p.rect]), y = Number(f[p.rect + 1]), w = Number(f[p.rect + 2]), h = Number(f[p.rect + 3]);
        const Bitmap face = Image(p.face), mask = Image(p.mask);
        SCOPED_TRACE("record " + std::to_string(p.id));
        if (p.x >= 0) {
            EXPECT_EQ(x, p.x);
            EXPECT_EQ(y, p.y);
        }
        EXPECT_GT(w, 0);
        EXPECT_GT(h, 0);
        EXPECT_GE(x, 0);
        EXPECT_GE(y, 0);
        EXPECT_LE(x + w, face->Width());
        EXPECT_LE(y + h, face->Height());
        EXPECT_FALSE(IsWhite(mask->Get(x + w / 2, y + h / 2))) << "the control's centre is inside the window";
    }
    // The caption of the cancel button lies strictly inside the button.
    const auto button = Fields(213), caption = Fields(215);
    EXPECT_GT(Number(caption[6]), Number(button[1]));
    EXPECT_GT(Number(caption[7]), Number(button[2]));
    EXPECT_LT(Number(caption[6]) + Number(caption[8]), Number(button[1]) + Number(button[3]));
    EXPECT_LT(Number(caption[7]) + Number(caption[9]), Number(button[2]) + Number(button[4]));
}

TEST_F(LibraryTest, TheLedWindowsBodyIsGreySoTheColourSliderRecoloursIt) {
    for (auto [face_id, mask_id] : {std::pair{211u, 213u}, std::pair{271u, 273u}}) {
        const Bitmap face = Image(face_id), mask = Image(mask_id);
        int inside = 0, grey = 0;
        for (int y = 0; y < face->Height(); ++y)
            for (int x = 0; x < face->Width(); ++x) {
                if (IsWhite(mask->Get(x, y))) continue;
                ++inside;
                grey += IsGrey(face->Get(x, y));
            }
        EXPECT_GT(inside, 0);
        EXPECT_GE(grey * 100, inside * 85) << "bitmap " << face_id << ": " << grey << " of " << inside << " grey";
    }
}

TEST_F(LibraryTest, LedLooksDifferInBrightnessAndForDichromats) {
    const Bitmap leds = Image(259);
    const int w = Layout(2);
    // The middle of the lens, in the lower part where no letter sits.
    const auto lens = [&](int image, int y) { return leds->Get(image * w + w / 2, y); };
    const std::uint32_t read = lens(0, 15), write = lens(1, 15), idle = lens(3, 15);
    EXPECT_TRUE(IsGrey(idle)) << "the idle lens takes the tint with the body";
    EXPECT_GE(Luma(read) - Luma(idle), 30);
    EXPECT_GE(Luma(write) - Luma(read), 20) << "writing is brighter than reading";
    for (bool protan : {true, false})
        EXPECT_GE(Distance(AsDichromat(read, protan), AsDichromat(write, protan)), 60) << (protan ? "protan" : "deutan");
    // Reading and writing shows both: the read look above, the write look below.
    EXPECT_NEAR(Luma(lens(2, 6)), Luma(lens(0, 6)), 8);
    EXPECT_NEAR(Luma(lens(2, 15)), Luma(lens(1, 15)), 8);
}

TEST_F(LibraryTest, ImageListStripsAreTransparentWithTheMagentaKey) {
    for (UINT id : {258u, 259u, 260u}) {
        const Bitmap strip = Image(id);
        int transparent = 0;
        for (int y = 0; y < strip->Height(); ++y)
            for (int x = 0; x < strip->Width(); ++x) {
                const std::uint32_t p = strip->Get(x, y);
                if ((p >> 24) == 0) {
                    ++transparent;
                    EXPECT_EQ(p & 0xFFFFFF, 0xFF00FFu) << "bitmap " << id << " at " << x << "," << y;
                } else if ((p >> 24) == 255) {
                    EXPECT_NE(p & 0xFFFFFF, 0xFF00FFu) << "bitmap " << id << " at " << x << "," << y;
                }
            }
        EXPECT_GT(transparent, 0) << "bitmap " << id;
    }
}

TEST_F(LibraryTest, MenusCarryTheCommandsOfTheirWindowInTheFirstPopup) {
    const std::function<void(HMENU, std::set<UINT>&)> collect = [&](HMENU menu, std::set<UINT>& ids) {
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            if (HMENU sub = GetSubMenu(menu, i)) collect(sub, ids);
            else if (GetMenuItemID(menu, i) != 0) ids.insert(GetMenuItemID(menu, i));
        }
    };
    const std::vector<std::pair<UINT, std::set<UINT>>> menus = {
        {145, {150, 151, 152, 32780, 32772, 157, 158, 159, 160, 161, 162, 163, 164, 165, 166, 32786, 32777, 32778,
               154, 32779, 168, 177, 220, 221, 249, 155, 205, 207, 178, 148, 176, 210}},
        {179, {206, 167, 180, 58116}},
        {180, {206, 167, 58116}},
    };
    for (const auto& [id, expected] : menus) {
        HMENU menu = LoadMenuW(s_library, MAKEINTRESOURCEW(id));
        ASSERT_NE(menu, nullptr) << "menu " << id;
        HMENU first = GetSubMenu(menu, 0);
        ASSERT_NE(first, nullptr) << "menu " << id << " has a popup at position 0";
        std::set<UINT> ids;
        collect(first, ids);
        EXPECT_EQ(ids, expected) << "menu " << id;
        DestroyMenu(menu);
    }
}

TEST_F(LibraryTest, TemplatesIconsAndTheClipLoad) {
    for (UINT id : {102u, 103u})
        EXPECT_TRUE(plat::resource::FindResourceData(s_library, RT_DIALOG, id)) << "template " << id;
    for (UINT id : {138u, 208u, 277u}) {
        HICON icon = LoadIconW(s_library, MAKEINTRESOURCEW(id));
        EXPECT_NE(icon, nullptr) << "icon " << id;
        DestroyIcon(icon);
    }
    const auto data = plat::resource::FindResourceData(s_library, RT_AVI, 286);
    ASSERT_TRUE(data);
    const auto clip = plat::ui::ParseAviClip(*data);
    ASSERT_TRUE(clip) << "an uncompressed clip the animation control plays";
    ASSERT_GT(clip->frames.size(), 1u);
    EXPECT_EQ(clip->frames[0]->Width(), 200);
    EXPECT_EQ(clip->frames[0]->Height(), 70);
    // The clip is drawn on the panel it plays over: its corner is the face's.
    const Bitmap face = Image(216);
    EXPECT_EQ(clip->frames[0]->Get(0, 0) & 0xFFFFFF, face->Get(55, 40) & 0xFFFFFF);
}
