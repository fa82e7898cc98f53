// The LED window's layout values: string resource 211 holds 17 pairs of
// comma-separated fields ("Name,number,..."); of each pair the second field
// is read as a decimal number (_wtoi), the first is a name for people.
#pragma once

#include <array>
#include <string_view>

struct LedLayoutValues {
    static constexpr int kCount = 17;
    std::array<int, kCount> values{};

    // Value `n` of 1 to 17, numbered by pair as in string 211; 0 for others.
    int Value(int n) const { return n >= 1 && n <= kCount ? values[n - 1] : 0; }

    int SnapDistance() const { return Value(1); }
    int LedWidth() const { return Value(2); }
    int LedHeight() const { return Value(3); }
    int Spacing() const { return Value(6); }
    int Margin() const { return Value(7); }
    int ShrinkColumn() const { return Value(8); }
    int ShrinkRow() const { return Value(9); }
    int StretchColumn() const { return Value(12); }
    int StretchRow() const { return Value(13); }
    // The window's height: one LED with spacing and margin above and below.
    int RowHeight() const { return LedHeight() + 2 * (Spacing() + Margin()); }

    // Missing pairs read 0.
    static LedLayoutValues Parse(std::u16string_view text);
};
