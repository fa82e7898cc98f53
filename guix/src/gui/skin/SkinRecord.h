// Control records: one text line per skinned control, in comma-separated
// fields, held as a string resource (or formatted at run time).
//
// Cutting a field: the field is the text up to the first comma (or all that
// is left when there is none); what remains is the text after that comma
// with leading and trailing white space removed. So a field never starts
// with white space unless it is the record's first, and it keeps the white
// space that stood before its comma ("30 ," gives "30 "). Once the text is
// used up every further field is empty.
//
// Numbers read like _wtoi: leading white space, an optional sign, decimal
// digits up to the first other character; no digits give 0, and values
// beyond the 32-bit range give INT_MAX or INT_MIN. A flag is true when its
// field starts with the given capital letter ("T", "H"): "True" is on, "t"
// is off. A rectangle is four fields x, y, width, height and becomes
// (x, y, x + width, y + height) in the dialog's client coordinates.
#pragma once

#include <string>
#include <string_view>

#include "ui/ui.h"

namespace skin {

// Records longer than this are cut to it.
constexpr std::size_t kMaxRecordLength = 2047;

class SkinRecordReader {
public:
    explicit SkinRecordReader(std::u16string_view record);

    std::u16string Text();
    int Number();
    bool Flag(char16_t letter);
    RECT Rect();
    void Skip(int fields = 1);
    // The text not cut yet (after Skip(10) on a label record: its text and
    // tooltip, as a report shows the line).
    const std::u16string& Rest() const;

private:
    std::u16string m_rest;
};

int ParseNumber(std::u16string_view text);

// Name, x, y, width, height, tooltip, toggle ("T").
struct ButtonRecord {
    std::u16string name;
    RECT rect{};
    std::u16string tooltip;
    bool toggle = false;
};

// Name, tooltip, x, y, width, height, orientation ("H": fills along its
// height from the top edge, otherwise along its width from the left).
struct ProgressRecord {
    std::u16string name;
    std::u16string tooltip;
    RECT rect{};
    bool fillAlongHeight = false;
};

// Name, two ignored fields, x, y, width, height, orientation ("H":
// horizontal, otherwise vertical), initial position, one ignored field.
struct SliderRecord {
    std::u16string name;
    RECT rect{};
    bool horizontal = false;
    int position = 0;
};

// Name, font face, bold ("T"), italic ("T"), size, colour (a decimal
// COLORREF, 0x00BBGGRR), x, y, width, height, text, tooltip.
struct LabelRecord {
    std::u16string name;
    std::u16string face;
    bool bold = false;
    bool italic = false;
    int size = 0;
    COLORREF colour = 0;
    RECT rect{};
    std::u16string text;
    std::u16string tooltip;
};

ButtonRecord ParseButtonRecord(std::u16string_view record);
ProgressRecord ParseProgressRecord(std::u16string_view record);
SliderRecord ParseSliderRecord(std::u16string_view record);
LabelRecord ParseLabelRecord(std::u16string_view record);

}  // namespace skin
