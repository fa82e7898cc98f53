#include "base/locale_names.h"

#include <array>
#include <cstdlib>

namespace plat {
namespace {

// The first entry of a language is the one a locale of another territory
// falls back to.
constexpr std::array<RegionalLanguage, 40> kLanguages = {{
    {u"ENU", "en_US", u"dddd, MMMM d, yyyy", u"h:mm:ss tt"},
    {u"ENG", "en_GB", u"dd MMMM yyyy", u"HH:mm:ss"},
    {u"ENA", "en_AU", u"dddd, d MMMM yyyy", u"h:mm:ss tt"},
    {u"ENC", "en_CA", u"MMMM d, yyyy", u"h:mm:ss tt"},
    {u"ENZ", "en_NZ", u"dddd, d MMMM yyyy", u"h:mm:ss tt"},
    {u"ENI", "en_IE", u"dd MMMM yyyy", u"HH:mm:ss"},
    {u"DEU", "de_DE", u"dddd, d. MMMM yyyy", u"HH:mm:ss"},
    {u"DEA", "de_AT", u"dddd, dd. MMMM yyyy", u"HH:mm:ss"},
    {u"DES", "de_CH", u"dddd, d. MMMM yyyy", u"HH:mm:ss"},
    {u"FRA", "fr_FR", u"dddd d MMMM yyyy", u"HH:mm:ss"},
    {u"FRB", "fr_BE", u"dddd d MMMM yyyy", u"HH:mm:ss"},
    {u"FRC", "fr_CA", u"d MMMM yyyy", u"HH:mm:ss"},
    {u"FRS", "fr_CH", u"dddd, d MMMM yyyy", u"HH:mm:ss"},
    {u"ITA", "it_IT", u"dddd d MMMM yyyy", u"HH:mm:ss"},
    {u"ESN", "es_ES", u"dddd, d' de 'MMMM' de 'yyyy", u"H:mm:ss"},
    {u"ESM", "es_MX", u"dddd, d' de 'MMMM' de 'yyyy", u"hh:mm:ss tt"},
    {u"NLD", "nl_NL", u"dddd d MMMM yyyy", u"H:mm:ss"},
    {u"NLB", "nl_BE", u"dddd d MMMM yyyy", u"H:mm:ss"},
    {u"PTB", "pt_BR", u"dddd, d' de 'MMMM' de 'yyyy", u"HH:mm:ss"},
    {u"PTG", "pt_PT", u"dddd, d' de 'MMMM' de 'yyyy", u"HH:mm:ss"},
    {u"SVE", "sv_SE", u"'den 'd MMMM yyyy", u"HH:mm:ss"},
    {u"NOR", "nb_NO", u"d. MMMM yyyy", u"HH:mm:ss"},
    {u"DAN", "da_DK", u"d. MMMM yyyy", u"HH:mm:ss"},
    {u"FIN", "fi_FI", u"d. MMMM'ta 'yyyy", u"H:mm:ss"},
    {u"PLK", "pl_PL", u"d MMMM yyyy", u"HH:mm:ss"},
    {u"CSY", "cs_CZ", u"d. MMMM yyyy", u"H:mm:ss"},
    {u"SKY", "sk_SK", u"d. MMMM yyyy", u"H:mm:ss"},
    {u"HUN", "hu_HU", u"yyyy. MMMM d.", u"H:mm:ss"},
    {u"SLV", "sl_SI", u"d. MMMM yyyy", u"H:mm:ss"},
    {u"HRV", "hr_HR", u"d. MMMM yyyy.", u"H:mm:ss"},
    {u"ROM", "ro_RO", u"d MMMM yyyy", u"HH:mm:ss"},
    {u"BGR", "bg_BG", u"dd MMMM yyyy 'г.'", u"HH:mm:ss"},
    {u"RUS", "ru_RU", u"d MMMM yyyy 'г.'", u"H:mm:ss"},
    {u"UKR", "uk_UA", u"d MMMM yyyy' р.'", u"H:mm:ss"},
    {u"TRK", "tr_TR", u"dd MMMM yyyy dddd", u"HH:mm:ss"},
    {u"ELL", "el_GR", u"dddd, d MMMM yyyy", u"h:mm:ss tt"},
    {u"JPN", "ja_JP", u"yyyy'年'M'月'd'日'", u"H:mm:ss"},
    {u"KOR", "ko_KR", u"yyyy'년' M'월' d'일' dddd", u"tt h:mm:ss"},
    {u"CHS", "zh_CN", u"yyyy'年'M'月'd'日'", u"H:mm:ss"},
    {u"CHT", "zh_TW", u"yyyy'年'M'月'd'日'", u"tt hh:mm:ss"},
}};

char16_t Upper(char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - u'a' + u'A') : c; }

bool SameAbbreviation(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Upper(a[i]) != Upper(b[i])) return false;
    return true;
}

}  // namespace

std::optional<RegionalLanguage> LanguageFromAbbreviation(std::u16string_view abbreviation) {
    for (const RegionalLanguage& language : kLanguages)
        if (SameAbbreviation(language.abbreviation, abbreviation)) return language;
    return std::nullopt;
}

std::optional<RegionalLanguage> LanguageFromLocale(std::string_view locale) {
    locale = locale.substr(0, locale.find_first_of(".@"));
    for (const RegionalLanguage& language : kLanguages)
        if (language.locale == locale) return language;
    const std::string_view code = locale.substr(0, locale.find('_'));
    if (code.empty()) return std::nullopt;
    for (const RegionalLanguage& language : kLanguages)
        if (language.locale.substr(0, language.locale.find('_')) == code) return language;
    return std::nullopt;
}

std::string UserTimeLocale() {
    for (const char* name : {"LC_ALL", "LC_TIME", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) return value;
    }
    return "C";
}

}  // namespace plat
