#include "skin/SkinRecord.h"

#include <algorithm>
#include <climits>
#include <utility>

namespace skin {
namespace {

bool IsSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

std::u16string Trimmed(std::u16string_view text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && IsSpace(text[begin])) ++begin;
    while (end > begin && IsSpace(text[end - 1])) --end;
    return std::u16string(text.substr(begin, end - begin));
}

}  // namespace

SkinRecordReader::SkinRecordReader(std::u16string_view record)
    : m_rest(record.substr(0, std::min(record.size(), kMaxRecordLength))) {}

std::u16string SkinRecordReader::Text() {
    const std::size_t comma = m_rest.find(u',');
    if (comma == std::u16string::npos) return std::exchange(m_rest, std::u16string());
    std::u16string field = m_rest.substr(0, comma);
    m_rest = Trimmed(std::u16string_view(m_rest).substr(comma + 1));
    return field;
}

int SkinRecordReader::Number() { return ParseNumber(Text()); }

bool SkinRecordReader::Flag(char16_t letter) {
    const std::u16string field = Text();
    return !field.empty() && field[0] == letter;
}

RECT SkinRecordReader::Rect() {
    const int x = Number();
    const int y = Number();
    const int width = Number();
    const int height = Number();
    // Saturated, so a huge width cannot wrap the right edge around.
    auto edge = [](int from, int size) {
        return int(std::clamp<long long>(static_cast<long long>(from) + size, INT_MIN, INT_MAX));
    };
    return RECT{x, y, edge(x, width), edge(y, height)};
}

const std::u16string& SkinRecordReader::Rest() const { return m_rest; }

void SkinRecordReader::Skip(int fields) {
    for (int i = 0; i < fields; ++i) Text();
}

int ParseNumber(std::u16string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
    long long value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + (text[i] - u'0');
        if (value > 1LL + INT_MAX) value = 1LL + INT_MAX;  // saturated; more digits change nothing
    }
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return int(value);
}

ButtonRecord ParseButtonRecord(std::u16string_view record) {
    SkinRecordReader r(record);
    ButtonRecord b;
    b.name = r.Text();
    b.rect = r.Rect();
    b.tooltip = r.Text();
    b.toggle = r.Flag(u'T');
    return b;
}

ProgressRecord ParseProgressRecord(std::u16string_view record) {
    SkinRecordReader r(record);
    ProgressRecord p;
    p.name = r.Text();
    p.tooltip = r.Text();
    p.rect = r.Rect();
    p.fillAlongHeight = r.Flag(u'H');
    return p;
}

SliderRecord ParseSliderRecord(std::u16string_view record) {
    SkinRecordReader r(record);
    SliderRecord s;
    s.name = r.Text();
    r.Skip(2);
    s.rect = r.Rect();
    s.horizontal = r.Flag(u'H');
    s.position = r.Number();
    return s;
}

LabelRecord ParseLabelRecord(std::u16string_view record) {
    SkinRecordReader r(record);
    LabelRecord l;
    l.name = r.Text();
    l.face = r.Text();
    l.bold = r.Flag(u'T');
    l.italic = r.Flag(u'T');
    l.size = r.Number();
    l.colour = COLORREF(r.Number());
    l.rect = r.Rect();
    l.text = r.Text();
    l.tooltip = r.Text();
    return l;
}

}  // namespace skin
