// Which piece a bitmap button shows, over the whole T/S/H/Sel/Dis table.
#include <gtest/gtest.h>

#include "skin/BitmapBtn.h"

namespace {

constexpr ButtonLook N = ButtonLook::Normal, Ho = ButtonLook::Hover, P = ButtonLook::Pressed,
                     D = ButtonLook::Disabled;

}  // namespace

TEST(SkinButtonLook, EveryCombinationOfTheTable) {
    // Columns: toggle, state, hover, selected, disabled -> shown.
    struct Row {
        bool t, s, h, sel, dis;
        ButtonLook shown;
    } rows[] = {
        // A plain button under the mouse: pressed while held, else hover,
        // whatever its state and even when disabled.
        {0, 0, 1, 0, 0, Ho}, {0, 0, 1, 1, 0, P}, {0, 1, 1, 0, 0, Ho}, {0, 1, 1, 1, 0, P},
        {0, 0, 1, 0, 1, Ho}, {0, 1, 1, 0, 1, Ho},
        // Not hovered, state set: pressed.
        {0, 1, 0, 0, 0, P}, {0, 1, 0, 1, 0, P}, {0, 1, 0, 0, 1, P}, {0, 1, 0, 1, 1, P},
        // Not hovered, no state.
        {0, 0, 0, 1, 0, P}, {0, 0, 0, 1, 1, P}, {0, 0, 0, 0, 1, D}, {0, 0, 0, 0, 0, N},
        // A toggle button latched or held: pressed, hovered or not.
        {1, 1, 0, 0, 0, P}, {1, 1, 1, 0, 0, P}, {1, 0, 0, 1, 0, P}, {1, 0, 1, 1, 0, P},
        {1, 1, 1, 1, 1, P},
        // A toggle button released: hover or normal, never the disabled piece.
        {1, 0, 1, 0, 0, Ho}, {1, 0, 0, 0, 0, N}, {1, 0, 0, 0, 1, N}, {1, 0, 1, 0, 1, Ho},
    };
    for (const Row& r : rows)
        EXPECT_EQ(ChooseButtonLook(r.t, r.s, r.h, r.sel, r.dis), r.shown)
            << "T=" << r.t << " S=" << r.s << " H=" << r.h << " Sel=" << r.sel << " Dis=" << r.dis;
}
