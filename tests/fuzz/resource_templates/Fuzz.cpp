// Menu and dialog templates from a resource library: counts and strings
// that run past the data, popups nested without end. A template that parses
// must serialise back to a template that parses to the same items.
#include <cstdint>
#include <cstdlib>

#include "resource/templates.h"

namespace {

using namespace plat::resource;

bool SameMenu(const std::vector<MenuItemTemplate>& a, const std::vector<MenuItemTemplate>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].id != b[i].id || a[i].text != b[i].text || !SameMenu(a[i].items, b[i].items)) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    if (const auto menu = ParseMenu(bytes)) {
        const auto again = ParseMenu(SerializeMenu(*menu));
        if (!again || !SameMenu(*menu, *again)) std::abort();
    }
    if (const auto dialog = ParseDialog(bytes)) {
        const auto again = ParseDialog(SerializeDialog(*dialog));
        if (!again || again->items.size() != dialog->items.size() || again->caption != dialog->caption) std::abort();
    }
    return 0;
}
