// Mnemonics: the character marked by a single '&' in a menu item's or a
// control's text ("&&" is a literal '&'), which DrawTextW underlines and the
// keyboard chooses by. ASCII letters compare without regard to case.
#pragma once

#include <string_view>

namespace plat::ui {

// The marked character folded as FoldMnemonic does; 0 when there is none.
char16_t MnemonicOf(std::u16string_view text);
// A typed character as mnemonics are compared: ASCII letters in lower case.
char16_t FoldMnemonic(char16_t c);

}  // namespace plat::ui
