#include "ui/mnemonic.h"

namespace plat::ui {

char16_t MnemonicOf(std::u16string_view text) {
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != u'&') continue;
        const char16_t c = text[++i];
        if (c != u'&') return FoldMnemonic(c);
    }
    return 0;
}

char16_t FoldMnemonic(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c - u'A' + u'a') : c; }

}  // namespace plat::ui
