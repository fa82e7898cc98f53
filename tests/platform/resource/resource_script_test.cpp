#include "resource/resource_script.h"

#include <gtest/gtest.h>

#include "resource/resource_types.h"
#include "resource/templates.h"

using namespace plat::resource;

namespace {

const ResourceEntry* Find(const ScriptResult& r, std::uint32_t type, std::uint32_t id) {
    for (const auto& e : r.entries)
        if (e.type == type && e.id == id) return &e;
    return nullptr;
}

}  // namespace

TEST(ResourceScript, StringsAreStoredAsTerminatedUtf16) {
    const auto r = CompileResourceScript("STRINGTABLE BEGIN 7, \"a\\\"b\" 8 \"\xC3\xBC\" END", "/x/s.rcs");
    ASSERT_TRUE(r.ok()) << r.error;
    const ResourceEntry* s7 = Find(r, RT_STRING, 7);
    ASSERT_TRUE(s7);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(s7->data.data()), s7->data.size() / 2),
              std::u16string(u"a\"b\0", 4));
    const ResourceEntry* s8 = Find(r, RT_STRING, 8);
    ASSERT_TRUE(s8);
    EXPECT_EQ(reinterpret_cast<const char16_t*>(s8->data.data())[0], u'\u00FC');
}

TEST(ResourceScript, MenuNestingStatesAndSeparatorsSurviveTheTemplate) {
    const auto r = CompileResourceScript(
        "MENU 5 BEGIN POPUP \"P\" BEGIN MENUITEM \"A\" 10 CHECKED GRAYED MENUITEM SEPARATOR "
        "POPUP \"Sub\" BEGIN MENUITEM \"B\" 11 END END END",
        "m.rcs");
    ASSERT_TRUE(r.ok()) << r.error;
    const auto menu = ParseMenu(Find(r, RT_MENU, 5)->data);
    ASSERT_TRUE(menu);
    ASSERT_EQ(menu->size(), 1u);
    const auto& popup = (*menu)[0];
    EXPECT_EQ(popup.text, u"P");
    ASSERT_EQ(popup.items.size(), 3u);
    EXPECT_EQ(popup.items[0].flags, MFT_CHECKED | MFT_GRAYED);
    EXPECT_EQ(popup.items[0].id, 10);
    EXPECT_EQ(popup.items[1].flags, MFT_SEPARATOR);
    EXPECT_EQ(popup.items[2].flags, MFT_POPUP);
    ASSERT_EQ(popup.items[2].items.size(), 1u);
    EXPECT_EQ(popup.items[2].items[0].id, 11);
}

TEST(ResourceScript, DialogFieldsAndStyleNamesAreCompiled) {
    const auto r = CompileResourceScript(
        "DIALOG 9 1 2 300 200 STYLE WS_POPUP | 0x4 EXSTYLE 8 CAPTION \"T\" FONT 9 \"Sans\" BEGIN "
        "CONTROL \"OK\" 1 \"BUTTON\" BS_OWNERDRAW | WS_CHILD | WS_TABSTOP | WS_GROUP 5 6 70 20 0x20 END",
        "d.rcs");
    ASSERT_TRUE(r.ok()) << r.error;
    const auto d = ParseDialog(Find(r, RT_DIALOG, 9)->data);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->style, 0x80000004u);
    EXPECT_EQ(d->exStyle, 8u);
    EXPECT_EQ(d->cx, 300);
    EXPECT_EQ(d->caption, u"T");
    EXPECT_EQ(d->faceName, u"Sans");
    ASSERT_EQ(d->items.size(), 1u);
    EXPECT_EQ(d->items[0].className, u"BUTTON");
    EXPECT_EQ(d->items[0].style, 0x4003000Bu);
    EXPECT_EQ(d->items[0].exStyle, 0x20u);
    EXPECT_EQ(d->items[0].y, 6);
}

TEST(ResourceScript, ErrorsNameTheLineAndTheFault) {
    const struct {
        const char* script;
        const char* error;
    } cases[] = {
        {"\n\nFROB 1", "s.rcs:3: unknown statement 'FROB'"},
        {"STRINGTABLE BEGIN 1 \"a\" 1 \"b\" END", "s.rcs:1: duplicate identifier 1"},
        {"STRINGTABLE BEGIN 1 \"open\nEND", "s.rcs:1: unterminated string"},
        {"STRINGTABLE BEGIN 12x \"a\" END", "s.rcs:1: bad number '12x'"},
        {"STRINGTABLE BEGIN 70000 \"a\" END", "s.rcs:1: identifier 70000 out of range 1..65535"},
        {"BITMAP 3 \"missing.bmp\"", "s.rcs:1: cannot read missing.bmp"},
        // A device or a folder would never end or never be a file.
        {"BITMAP 3 \"/dev/zero\"", "s.rcs:1: not a regular file: /dev/zero"},
        {"ICON 3 \"/\"", "s.rcs:1: not a regular file: /"},
        {"MENU 4 BEGIN END", "s.rcs:1: empty menu"},
        {"STRINGTABLE 1 \"a\"", "s.rcs:1: expected BEGIN"},
    };
    for (const auto& c : cases) {
        const auto r = CompileResourceScript(c.script, "s.rcs");
        EXPECT_EQ(r.error, c.error) << c.script;
        EXPECT_TRUE(r.entries.empty());
    }
}
