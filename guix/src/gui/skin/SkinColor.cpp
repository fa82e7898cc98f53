#include "skin/SkinColor.h"

#include <cstdlib>

namespace {

constexpr int kMax = 255;  // HLSMAX and RGBMAX

}  // namespace

// The sixths of the hue circle on this scale: 42 is a sixth, 128 a half
// (so hue 127, a cyan, still takes the high level), 170 two thirds.
WORD HueToRgb(WORD low, WORD high, WORD hue) {
    if (hue > kMax) hue = WORD(hue - kMax);
    const int range = int(high) - int(low);
    if (hue < 42) return WORD(low + (range * hue + 21) / 42);
    if (hue < 128) return high;
    if (hue < 170) return WORD(low + (range * (170 - hue) + 21) / 42);
    return low;
}

COLORREF HlsToRgb(WORD hue, WORD lightness, WORD saturation) {
    if (saturation == 0) return RGB(BYTE(lightness), BYTE(lightness), BYTE(lightness));
    const WORD high = lightness <= 127 ? WORD((lightness * (kMax + saturation) + 127) / kMax)
                                       : WORD(lightness + saturation - (lightness * saturation + 127) / kMax);
    const WORD low = WORD(2 * lightness - high);
    auto scaled = [](WORD x) { return BYTE((x * kMax + 127) / kMax); };
    // A third of the circle (85) either side; below 0 the 16-bit hue wraps
    // far above 255 and gives the low level.
    return RGB(scaled(HueToRgb(low, high, WORD(hue + 85))), scaled(HueToRgb(low, high, hue)),
               scaled(HueToRgb(low, high, WORD(hue - 85))));
}

namespace skin {

// The product is taken exactly (extended precision holds all its bits), as
// the x87 arithmetic the values were made with did: 20 x 2.55 as a double
// is just below 51, which rounding to a double would lose.
WORD TintHue(int colour_index) {
    const int v = std::abs(colour_index - 16);
    return WORD(int(static_cast<long double>(v) * static_cast<long double>(2.55)));
}

COLORREF TintColor(int colour_index) { return HlsToRgb(TintHue(colour_index), 165, 255); }

}  // namespace skin
