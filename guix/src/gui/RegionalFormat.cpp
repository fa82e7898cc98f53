#include "RegionalFormat.h"

#include <iomanip>
#include <optional>
#include <sstream>

#include "base/clock.h"
#include "base/format.h"
#include "base/locale_names.h"
#include "registry/registry.h"

namespace regional {
namespace {

std::u16string FromWide(const std::wstring& wide) {
    std::u16string text;
    for (wchar_t c : wide) {
        const auto code = std::uint32_t(c);
        if (code > 0xFFFF) {
            text += char16_t(0xD800 + ((code - 0x10000) >> 10));
            text += char16_t(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            text += char16_t(code);
        }
    }
    return text;
}

// A weekday or month name ("%a", "%A", "%b", "%B") in `names`.
std::u16string Name(const std::tm& local, const std::locale& names, const wchar_t* conversion) {
    std::wostringstream out;
    out.imbue(names);
    out << std::put_time(&local, conversion);
    return FromWide(out.str());
}

std::u16string TwoDigits(int value) { return plat::Format(value < 10 ? u"0%d" : u"%d", value); }

// The runs the date and the time share: h, H, m and t; nothing for others.
std::optional<std::u16string> TimeRun(char16_t c, const std::tm& local) {
    const int hour = local.tm_hour;
    switch (c) {
    case u'h': return hour <= 12 ? plat::Format(u"%d", hour) : TwoDigits(hour - 12);
    case u'H': return TwoDigits(hour);
    case u'm': return TwoDigits(local.tm_min);
    case u't': return std::u16string(hour <= 12 ? u"AM" : u"PM");
    default: return std::nullopt;
    }
}

std::size_t RunEnd(std::u16string_view pattern, std::size_t start) {
    std::size_t end = start;
    while (end < pattern.size() && pattern[end] == pattern[start]) ++end;
    return end;
}

// A string value of the key; nothing when it cannot be read.
std::optional<std::u16string> ReadText(HKEY key, const WCHAR* name) {
    WCHAR buffer[256] = {};
    DWORD type = 0, size = sizeof(buffer) - sizeof(WCHAR);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    return std::u16string(buffer);
}

struct UserFormats {
    bool opened = false;
    std::u16string language;
    std::optional<std::u16string> longDate;
    std::optional<std::u16string> timeFormat;
};

UserFormats ReadUserFormats() {
    UserFormats formats;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kInternationalKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return formats;
    formats.opened = true;
    formats.language = ReadText(key, u"sLanguage").value_or(u"");
    formats.longDate = ReadText(key, u"sLongDate");
    formats.timeFormat = ReadText(key, u"sTimeFormat");
    RegCloseKey(key);
    return formats;
}

std::tm LocalTimeOf(const FILETIME& moment) {
    FILETIME local{};
    SYSTEMTIME st{};
    FileTimeToLocalFileTime(&moment, &local);
    FileTimeToSystemTime(&local, &st);
    std::tm tm{};
    tm.tm_year = st.wYear - 1900;
    tm.tm_mon = st.wMonth - 1;
    tm.tm_mday = st.wDay;
    tm.tm_wday = st.wDayOfWeek;
    tm.tm_hour = st.wHour;
    tm.tm_min = st.wMinute;
    tm.tm_sec = st.wSecond;
    return tm;
}

}  // namespace

std::locale LocaleOf(std::u16string_view language) {
    const auto known = plat::LanguageFromAbbreviation(language);
    if (!known) return std::locale::classic();
    const std::string base(known->locale);
    for (const std::string& name : {base + ".UTF-8", base + ".utf8", base}) {
        try {
            return std::locale(name);
        } catch (const std::runtime_error&) {
            // not installed under this name
        }
    }
    return std::locale::classic();
}

std::u16string WalkLongDate(std::u16string_view pattern, const std::tm& local, const std::locale& names) {
    std::u16string text;
    for (std::size_t i = 0; i < pattern.size();) {
        const std::size_t end = RunEnd(pattern, i);
        const std::size_t length = end - i;
        const char16_t c = pattern[i];
        i = end;
        switch (c) {
        case u'd':
            text += length <= 2 ? plat::Format(u"%d", local.tm_mday) : Name(local, names, length == 3 ? L"%a" : L"%A");
            break;
        case u'M':
            text += length <= 2 ? plat::Format(u"%d", local.tm_mon + 1) : Name(local, names, length == 3 ? L"%b" : L"%B");
            break;
        case u'y': text += plat::Format(u"%d", local.tm_year + 1900); break;
        case u's':
        case u'\'': break;
        default:
            if (auto run = TimeRun(c, local))
                text += *run;
            else
                text += c;
        }
    }
    return text;
}

std::u16string WalkTime(std::u16string_view pattern, const std::tm& local) {
    std::u16string text;
    bool colonWritten = false;
    const auto copy = [&](char16_t c) {
        if (c == u':') {
            if (colonWritten) return;
            colonWritten = true;
        }
        text += c;
    };
    for (std::size_t i = 0; i < pattern.size();) {
        const char16_t c = pattern[i];
        if (c == u'\'') {
            const std::size_t close = pattern.find(u'\'', i + 1);
            const std::size_t stop = close == std::u16string_view::npos ? pattern.size() : close;
            for (std::size_t k = i + 1; k < stop; ++k) copy(pattern[k]);
            i = stop + 1;
            continue;
        }
        const std::size_t end = RunEnd(pattern, i);
        if (auto run = TimeRun(c, local)) {
            text += *run;
        } else if (c != u's' && c != u'd' && c != u'M' && c != u'y' && c != u'g') {
            for (std::size_t k = i; k < end; ++k) copy(pattern[k]);
        }
        i = end;
    }
    return text;
}

std::u16string FormatLongDate(const FILETIME& moment) {
    const UserFormats formats = ReadUserFormats();
    if (!formats.opened || !formats.longDate) return {};
    return WalkLongDate(*formats.longDate, LocalTimeOf(moment), LocaleOf(formats.language));
}

std::u16string FormatTime(const FILETIME& moment) {
    const UserFormats formats = ReadUserFormats();
    if (!formats.opened) return {};
    return WalkTime(formats.timeFormat.value_or(std::u16string(kDefaultTimePattern)), LocalTimeOf(moment));
}

}  // namespace regional
