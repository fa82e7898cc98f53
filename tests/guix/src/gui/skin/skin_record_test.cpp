// Cutting control records into fields, and the four record kinds.
#include <gtest/gtest.h>

#include "skin/SkinRecord.h"

using namespace skin;

namespace {

RECT Rect(int l, int t, int r, int b) { return RECT{l, t, r, b}; }

}  // namespace

TEST(SkinRecordCutting, FieldsKeepTheSpaceBeforeTheirCommaAndLoseTheSpaceAfterIt) {
    SkinRecordReader r(u" BUTTON_X,10, 20,30 ,40,Tip text,T");
    EXPECT_EQ(r.Text(), u" BUTTON_X") << "the first field keeps its leading space";
    EXPECT_EQ(r.Text(), u"10");
    EXPECT_EQ(r.Text(), u"20");
    EXPECT_EQ(r.Text(), u"30 ");
    EXPECT_EQ(r.Text(), u"40");
    EXPECT_EQ(r.Text(), u"Tip text");
    EXPECT_EQ(r.Text(), u"T");
    EXPECT_EQ(r.Text(), u"") << "fields after the end are empty";
    EXPECT_EQ(r.Number(), 0);
}

TEST(SkinRecordCutting, TrailingSpaceOfTheLastFieldIsTrimmedWithTheRest) {
    SkinRecordReader r(u"A,  last field  \t");
    EXPECT_EQ(r.Text(), u"A");
    EXPECT_EQ(r.Text(), u"last field");
}

TEST(SkinRecordCutting, RestIsWhatIsNotCutYet) {
    SkinRecordReader r(u"N,F,T,,13,255,1,2,3,4,  Model: %s ,tip");
    r.Skip(10);
    EXPECT_EQ(r.Rest(), u"Model: %s ,tip");
}

TEST(SkinRecordCutting, RecordsAreCutAt2047Characters) {
    const std::u16string long_text = u"NAME," + std::u16string(3000, u'x');
    SkinRecordReader r(long_text);
    r.Skip();
    EXPECT_EQ(r.Text().size(), kMaxRecordLength - 5);
}

TEST(SkinRecordNumbers, ReadLikeWtoi) {
    struct Case {
        std::u16string_view text;
        int value;
    } cases[] = {
        {u"30 ", 30},       {u"  -12", -12},     {u"+7", 7},          {u"12abc", 12},
        {u"abc", 0},        {u"", 0},            {u"- 5", 0},         {u"0x1F", 0},
        {u"2147483647", 2147483647},             {u"99999999999", 2147483647},
        {u"-99999999999", -2147483647 - 1},      {u"\t\n42", 42},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseNumber(c.text), c.value) << std::string(c.text.begin(), c.text.end());
}

TEST(SkinRecordKinds, ButtonRecordOfTheExample) {
    const ButtonRecord b = ParseButtonRecord(u"BUTTON_X,10, 20,30 ,40,Tip text,T");
    EXPECT_EQ(b.name, u"BUTTON_X");
    EXPECT_EQ(b.rect, Rect(10, 20, 40, 60));
    EXPECT_EQ(b.tooltip, u"Tip text");
    EXPECT_TRUE(b.toggle);
}

TEST(SkinRecordKinds, FlagsAreOnlyTheirCapitalLetter) {
    struct Case {
        std::u16string_view flag;
        bool on;
    } cases[] = {
        {u"T", true}, {u"True", true}, {u"t", false}, {u"true", false}, {u"", false},
        {u" T", true},  // the space after a comma is cut away with it
    };
    for (const Case& c : cases) {
        const std::u16string record = u"B,0,0,1,1,tip," + std::u16string(c.flag);
        EXPECT_EQ(ParseButtonRecord(record).toggle, c.on) << "flag field of " << c.flag.size() << " characters";
    }
    EXPECT_TRUE(ParseProgressRecord(u"P,,0,0,1,1,H").fillAlongHeight);
    EXPECT_FALSE(ParseProgressRecord(u"P,,0,0,1,1,h").fillAlongHeight);
    EXPECT_TRUE(ParseSliderRecord(u"S,a,b,0,0,1,1,Horizontal,5,").horizontal);
    EXPECT_FALSE(ParseSliderRecord(u"S,a,b,0,0,1,1,V,5,").horizontal);
}

TEST(SkinRecordKinds, ShortRecordsLeaveTheMissingFieldsEmpty) {
    const ButtonRecord b = ParseButtonRecord(u"ONLY_NAME");
    EXPECT_EQ(b.name, u"ONLY_NAME");
    EXPECT_EQ(b.rect, Rect(0, 0, 0, 0));
    EXPECT_EQ(b.tooltip, u"");
    EXPECT_FALSE(b.toggle);

    const LabelRecord l = ParseLabelRecord(u"L,Face,T,T,13");
    EXPECT_EQ(l.face, u"Face");
    EXPECT_TRUE(l.bold);
    EXPECT_TRUE(l.italic);
    EXPECT_EQ(l.size, 13);
    EXPECT_EQ(l.colour, 0u);
    EXPECT_EQ(l.rect, Rect(0, 0, 0, 0));
    EXPECT_EQ(l.text, u"");
}

TEST(SkinRecordKinds, EveryKindTakesItsFieldsInItsOrder) {
    const ProgressRecord p = ParseProgressRecord(u"PROGRESS_A,A tip,5,6,100,10,H");
    EXPECT_EQ(p.name, u"PROGRESS_A");
    EXPECT_EQ(p.tooltip, u"A tip");
    EXPECT_EQ(p.rect, Rect(5, 6, 105, 16));
    EXPECT_TRUE(p.fillAlongHeight);

    const SliderRecord s = ParseSliderRecord(u"SLIDER_COLOR,ignored,ignored,10,44,100,16,H,30,ignored");
    EXPECT_EQ(s.name, u"SLIDER_COLOR");
    EXPECT_EQ(s.rect, Rect(10, 44, 110, 60));
    EXPECT_TRUE(s.horizontal);
    EXPECT_EQ(s.position, 30);

    const LabelRecord l = ParseLabelRecord(u"LABEL_A,DejaVu Sans,,T,13,255,10,28,60,14,Some text,The tip");
    EXPECT_EQ(l.name, u"LABEL_A");
    EXPECT_EQ(l.face, u"DejaVu Sans");
    EXPECT_FALSE(l.bold);
    EXPECT_TRUE(l.italic);
    EXPECT_EQ(l.colour, COLORREF(255)) << "decimal COLORREF: red";
    EXPECT_EQ(l.rect, Rect(10, 28, 70, 42));
    EXPECT_EQ(l.text, u"Some text");
    EXPECT_EQ(l.tooltip, u"The tip");
}
