// The area a frame of panel pieces changes against the frame on the screen.
#include <gtest/gtest.h>

#include "PanelPiece.h"

namespace {

const RECT kClient{0, 0, 300, 32};

PanelPiece Led(int x, int image, int bar_width = 0) {
    PanelPiece p;
    p.x = x;
    p.y = 4;
    p.image = image;
    p.bar = 4;
    p.barWidth = bar_width;
    p.text = u"C";
    p.bounds = RECT{x - 2, 4, x + 20, 28};
    return p;
}

TEST(PanelPieceChanges, OnlyThePiecesThatLookDifferentAreDrawnAgain) {
    const PanelPieces shown{Led(38, 3), Led(60, 3), Led(82, 3)};
    struct Case {
        const char* what;
        PanelPieces next;
        RECT area;
    };
    PanelPieces other_letter = shown;
    other_letter[2].text = u"E";
    const Case cases[] = {
        {"nothing changed", shown, RECT{}},
        {"one LED lit", {Led(38, 3), Led(60, 0), Led(82, 3)}, RECT{58, 4, 80, 28}},
        {"two LEDs, their union", {Led(38, 1), Led(60, 3), Led(82, 2)}, RECT{36, 4, 102, 28}},
        {"a bar grew", {Led(38, 3), Led(60, 3, 5), Led(82, 3)}, RECT{58, 4, 80, 28}},
        {"another letter", other_letter, RECT{80, 4, 102, 28}},
        {"a drive went", {Led(38, 3), Led(60, 3)}, kClient},
        {"the LEDs moved", {Led(40, 3), Led(62, 3), Led(84, 3)}, kClient},
    };
    for (const Case& c : cases) {
        const RECT got = ChangedArea(shown, c.next, kClient);
        EXPECT_TRUE(got == c.area) << c.what << ": got " << got.left << "," << got.top << "," << got.right << ","
                                   << got.bottom;
    }
}

TEST(PanelPieceChanges, AGrownPieceTakesItsOldAndNewBounds) {
    PanelPiece box = Led(100, 0);
    PanelPiece wider = box;
    wider.text = u"104°F";
    wider.bounds.right += 12;
    EXPECT_TRUE(ChangedArea({box}, {wider}, kClient) == (RECT{98, 4, 132, 28}));
    EXPECT_TRUE(ChangedArea({wider}, {box}, kClient) == (RECT{98, 4, 132, 28}));
}

}  // namespace
