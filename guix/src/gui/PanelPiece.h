// One piece of what the LED window's panel shows: a row icon, an LED with its
// used-space bar and letter, or a S.M.A.R.T. box with its life bar and
// temperature. Every frame describes the panel as a list of pieces first and
// draws afterwards, so a frame can be compared with the one on the screen:
// only the area of the pieces that look different is drawn again, and a
// frame in which nothing changed draws nothing.
#pragma once

#include <string>
#include <vector>

#include "ui/ui.h"

struct PanelPiece {
    enum class Images { RowIcons, Leds, SmartBoxes };
    Images images = Images::Leds;
    int x = 0, y = 0;    // where the images go
    int image = -1;      // the piece's own image
    int bar = -1;        // drawn over it from the left, bar_width wide
    int barWidth = 0;
    int overlay = -1;    // drawn over both (the network symbol)
    std::u16string text;
    RECT textRect{};
    COLORREF colour = 0;
    RECT bounds{};       // every pixel the piece may draw

    bool operator==(const PanelPiece&) const = default;
};
using PanelPieces = std::vector<PanelPiece>;

// The area that differs between the frame `shown` and the frame `next`:
// the bounds of every piece whose look changed, old and new; the whole
// `client` when the frames do not hold the same kinds of pieces in the same
// places (a layout or a drive change came between them). Empty when nothing
// changed.
RECT ChangedArea(const PanelPieces& shown, const PanelPieces& next, const RECT& client);
