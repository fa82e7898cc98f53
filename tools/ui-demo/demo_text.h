// A string of the demo's resource library by id; empty when it has none.
#pragma once

#include <string>

#include "resource/module.h"
#include "ui/framework_app.h"

namespace demo {

inline std::u16string LoadText(UINT id) {
    WCHAR text[256];
    const int n = LoadStringW(AfxGetResourceHandle(), id, text, 256);
    return std::u16string(text, std::size_t(n > 0 ? n : 0));
}

}  // namespace demo
