// The date and time stamp of the text report, in the user's regional
// formats: HKEY_CURRENT_USER "Control Panel\International" values
// "sLanguage" (the language abbreviation weekday and month names are given
// in), "sLongDate" and "sTimeFormat" (Windows patterns), walked by runs of
// equal characters.
//
// The names come from a locale object made for the one call; the process
// locale is never changed, so no other thread's number formatting moves.
// A language whose locale is not installed gives the names of the "C"
// locale.
#pragma once

#include <ctime>
#include <locale>
#include <string>
#include <string_view>

#include "base/wintypes.h"

namespace regional {

inline constexpr const WCHAR* kInternationalKey = u"Control Panel\\International";
inline constexpr std::u16string_view kDefaultTimePattern = u"HH:mm:ss";

// The locale of a language abbreviation ("DEU"), or the classic locale.
std::locale LocaleOf(std::u16string_view language);

// The pattern walkers, on a broken-down local time.
//   date: d/dd day, ddd/dddd+ weekday name, M/MM month, MMM/MMMM+ month
//         name, y+ the full year, h H m t as in the time, s and ' nothing
//         (quoted text is walked like the rest), any other character once.
//   time: '...' copied as it stands; only the pattern's first ":" is
//         written; h the 12-hour hour (0 to 12 as they are, 13 to 23 minus
//         12 with two digits), H and m two digits, t "AM" up to hour 12 and
//         "PM" from 13, s and date letters nothing, other runs copied whole.
std::u16string WalkLongDate(std::u16string_view pattern, const std::tm& local, const std::locale& names);
std::u16string WalkTime(std::u16string_view pattern, const std::tm& local);

// The moment (UTC) in the user's long-date and time formats: "" when the
// key (or, for the date, "sLongDate") cannot be read; the time pattern is
// kDefaultTimePattern when "sTimeFormat" is missing.
std::u16string FormatLongDate(const FILETIME& moment);
std::u16string FormatTime(const FILETIME& moment);

}  // namespace regional
