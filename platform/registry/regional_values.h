// The user's regional formats. Windows always has HKEY_CURRENT_USER
// "Control Panel\International"; here nothing writes it until a user does.
// So the key is made when it is first opened, and its values "sLanguage",
// "sLongDate" and "sTimeFormat", while the user has not set them, read as
// those of the user's locale (LC_ALL, LC_TIME or LANG): the Windows
// language abbreviation and the language's patterns in Windows syntax
// (base/locale_names.h; a locale without a known language reads as US
// English). A value set in the store (lumetra-reg set) wins. The derived
// values are answered to queries only; enumeration lists what is stored.
#pragma once

#include <optional>
#include <string_view>

#include "registry/key_handle.h"

namespace plat::reg {

inline constexpr std::u16string_view kInternationalPath = u"Control Panel\\International";

// Whether `path` below `parent` is the key, opened from the user's root.
bool IsInternationalPath(const KeyRef& parent, const KeyPath& path);
// Whether `key` is the key in the user's store.
bool IsInternationalKey(const KeyRef& key);
// The value the user's locale gives `name`, or nothing for other names.
std::optional<StoredValue> DerivedRegionalValue(std::u16string_view name);

}  // namespace plat::reg
