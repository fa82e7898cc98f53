// The tint colour of a colour index: the hue-lightness-saturation
// conversion with every quantity on a scale of 255 (HLSMAX = RGBMAX = 255),
// in the integer arithmetic of the published algorithm: 16-bit unsigned
// values, truncating divisions, rounding terms of half the divisor.
#pragma once

#include "ui/ui.h"

// One channel from the two levels and a hue (which wraps once at 255).
WORD HueToRgb(WORD low, WORD high, WORD hue);
// COLORREF (0x00BBGGRR) of a hue, lightness and saturation, each 0 to 255.
COLORREF HlsToRgb(WORD hue, WORD lightness, WORD saturation);

namespace skin {

// The hue of a colour index: the integer part of |index - 16| x 2.55, with
// 2.55 as the double just below it and the product exact, so multiples of
// 20 give one less than the exact value (v = 20 gives 50, v = 100 gives 254).
WORD TintHue(int colour_index);
// HlsToRgb(TintHue(index), 165, 255): every channel between 75 and 255;
// index 16 is (255, 75, 75), index 66 is (75, 255, 255).
COLORREF TintColor(int colour_index);

}  // namespace skin
