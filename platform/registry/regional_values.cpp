#include "registry/regional_values.h"

#include <array>

#include "base/locale_names.h"
#include "base/ntstatus.h"

namespace plat::reg {
namespace {

KeyPath InternationalPath() {
    KeyPath path;
    ParseKeyPath(kInternationalPath, &path);
    return path;
}

bool SamePath(const KeyPath& a, const KeyPath& b) {
    if (a.names.size() != b.names.size()) return false;
    for (std::size_t i = 0; i < a.names.size(); ++i)
        if (FoldName(a.names[i]) != FoldName(b.names[i])) return false;
    return true;
}

bool IsUserStore(const KeyRef& key) { return key.store && key.store == StoreFor(Hive::User); }

StoredValue Text(std::u16string_view name, std::u16string_view text) {
    StoredValue value{std::u16string(name), 1 /* REG_SZ */, {}};
    for (char16_t c : text) {
        value.data.push_back(BYTE(c & 0xFF));
        value.data.push_back(BYTE(c >> 8));
    }
    value.data.insert(value.data.end(), {0, 0});
    return value;
}

}  // namespace

bool IsInternationalPath(const KeyRef& parent, const KeyPath& path) {
    return IsUserStore(parent) && parent.id == kRootKeyId && SamePath(path, InternationalPath());
}

bool IsInternationalKey(const KeyRef& key) {
    if (!IsUserStore(key)) return false;
    KeyInfo info;
    return NT_SUCCESS(key.store->OpenPath(kRootKeyId, InternationalPath(), &info)) && info.id == key.id;
}

std::optional<StoredValue> DerivedRegionalValue(std::u16string_view name) {
    const RegionalLanguage language =
        LanguageFromLocale(UserTimeLocale()).value_or(*LanguageFromAbbreviation(u"ENU"));
    const std::array<std::pair<std::u16string_view, std::u16string_view>, 3> values = {{
        {u"sLanguage", language.abbreviation},
        {u"sLongDate", language.longDate},
        {u"sTimeFormat", language.timeFormat},
    }};
    for (const auto& [known, text] : values)
        if (FoldName(known) == FoldName(name)) return Text(known, text);
    return std::nullopt;
}

}  // namespace plat::reg
