// Windows language abbreviations (the "sLanguage" value of the user's
// regional settings: "ENU", "DEU", ...) and the Linux locale names they stand
// for, with each language's usual long-date and time patterns in Windows
// pattern syntax ("dddd, d. MMMM yyyy", "HH:mm:ss").
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace plat {

struct RegionalLanguage {
    std::u16string_view abbreviation;  // "DEU"
    std::string_view locale;           // "de_DE"
    std::u16string_view longDate;      // "dddd, d. MMMM yyyy"
    std::u16string_view timeFormat;    // "HH:mm:ss"
};

// The language of an abbreviation (case ignored), or nothing.
std::optional<RegionalLanguage> LanguageFromAbbreviation(std::u16string_view abbreviation);
// The language of a locale name such as "de_DE.UTF-8" or "de_DE@euro": the
// exact language and territory, else the first entry of the language ("de"),
// else nothing ("C", "POSIX" and unknown names).
std::optional<RegionalLanguage> LanguageFromLocale(std::string_view locale);
// The locale the user's dates are formatted in: LC_ALL, else LC_TIME, else
// LANG (the first one set and not empty), as the C library chooses it.
std::string UserTimeLocale();

}  // namespace plat
