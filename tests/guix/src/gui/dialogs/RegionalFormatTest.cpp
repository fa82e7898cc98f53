// The report's date and time stamp: the pattern walks, the user's regional
// values, and names in the user's language without touching the process
// locale.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>

#include "RegionalFormat.h"
#include "base/clock.h"
#include "base/locale_names.h"
#include "registry/registry.h"
#include "scoped_root.h"

using namespace regional;

namespace {

// Wednesday, 9 December 2026.
std::tm At(int hour, int minute, int second = 30) {
    std::tm tm{};
    tm.tm_year = 126;
    tm.tm_mon = 11;
    tm.tm_mday = 9;
    tm.tm_wday = 3;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    return tm;
}

void SetInternational(const WCHAR* name, const std::u16string& value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kInternationalKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   DWORD((value.size() + 1) * sizeof(WCHAR)));
    RegCloseKey(key);
}

// A German locale compiled into a private folder (LOCPATH), so the names
// test needs no locale installed on the machine. Empty when localedef fails.
std::string CompileGermanLocale() {
    static const std::string dir = [] {
        const std::string path = std::filesystem::temp_directory_path() / "lumetra-test-locales";
        const std::string locale = path + "/de_DE.UTF-8";
        if (std::filesystem::exists(locale + "/LC_TIME")) return path;
        std::filesystem::create_directories(path);
        const std::string command = "localedef -i de_DE -f UTF-8 " + locale + " >/dev/null 2>&1";
        return std::system(command.c_str()) == 0 ? path : std::string();
    }();
    return dir;
}

}  // namespace

TEST(TimeWalk, HoursMinutesTheFirstColonAndQuotes) {
    const struct {
        std::u16string pattern;
        int hour, minute;
        std::u16string text;
    } cases[] = {
        {u"HH:mm:ss", 14, 5, u"14:05"},          // seconds dropped with their colon
        {u"HH:mm:ss", 9, 0, u"09:00"},
        {u"h:mm:ss tt", 14, 5, u"02:05 PM"},
        {u"h:mm:ss tt", 22, 5, u"10:05 PM"},
        {u"h:mm:ss tt", 9, 5, u"9:05 AM"},       // 0 to 12 as they are
        {u"h:mm:ss tt", 12, 30, u"12:30 AM"},    // AM up to hour 12
        {u"h:mm:ss tt", 0, 7, u"0:07 AM"},
        {u"hh:mm", 13, 1, u"01:01"},
        {u"'um 'HH:mm' Uhr'", 14, 5, u"um 14:05 Uhr"},
        {u"'a:b 'HH:mm", 14, 5, u"a:b 1405"},    // a quoted colon is the first one
        {u"HH.mm", 14, 5, u"14.05"},
        {u"HH--mm", 14, 5, u"14--05"},           // other runs copied whole
        {u"dd MM yy HH", 14, 5, u"   14"},       // date letters give nothing
        {u"'open", 14, 5, u"open"},              // an unclosed quote runs to the end
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WalkTime(c.pattern, At(c.hour, c.minute)), c.text)
            << std::string(c.pattern.begin(), c.pattern.end()) << " at " << c.hour << ":" << c.minute;
    }
}

TEST(DateWalk, RunsGiveNumbersNamesAndYears) {
    const std::locale& c = std::locale::classic();
    EXPECT_EQ(WalkLongDate(u"dddd, MMMM d, yyyy", At(14, 5), c), u"Wednesday, December 9, 2026");
    EXPECT_EQ(WalkLongDate(u"ddd dd.MM.yy", At(14, 5), c), u"Wed 9.12.2026") << "no leading zeros, full year";
    EXPECT_EQ(WalkLongDate(u"MMM ddddd", At(14, 5), c), u"Dec Wednesday");
    EXPECT_EQ(WalkLongDate(u"d' de 'MMMM", At(14, 5), c), u"9 9e December") << "quoted text is walked too";
    EXPECT_EQ(WalkLongDate(u"d..ss HH:mm tt", At(14, 5), c), u"9. 14:05 PM") << "a run of others gives one";
}

TEST(LocaleNames, AbbreviationsAndLocalesMapBothWays) {
    ASSERT_TRUE(plat::LanguageFromAbbreviation(u"deu"));
    EXPECT_EQ(plat::LanguageFromAbbreviation(u"DEU")->locale, "de_DE");
    EXPECT_EQ(plat::LanguageFromLocale("de_DE.UTF-8")->abbreviation, u"DEU");
    EXPECT_EQ(plat::LanguageFromLocale("de_LU.UTF-8")->abbreviation, u"DEU") << "the language's first entry";
    EXPECT_EQ(plat::LanguageFromLocale("en_GB")->abbreviation, u"ENG");
    EXPECT_FALSE(plat::LanguageFromLocale("C.UTF-8"));
    EXPECT_FALSE(plat::LanguageFromLocale("POSIX"));
    EXPECT_FALSE(plat::LanguageFromAbbreviation(u"XYZ"));
}

class UserFormatsTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
    }
    // 2026-12-09 14:05:30 UTC.
    const FILETIME m_moment = plat::U64ToFileTime(plat::UnixSecondsToFileTime(1796825130));
    ScopedRoot m_root;
};

TEST_F(UserFormatsTest, TheUsersPatternsElseThoseOfTheUsersLocale) {
    SetInternational(u"sLanguage", u"ENU");
    SetInternational(u"sLongDate", u"dddd, MMMM d, yyyy");
    SetInternational(u"sTimeFormat", u"h:mm:ss tt");
    EXPECT_EQ(FormatLongDate(m_moment), u"Wednesday, December 9, 2026");
    EXPECT_EQ(FormatTime(m_moment), u"02:05 PM");

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kInternationalKey, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    for (const WCHAR* name : {u"sLanguage", u"sLongDate", u"sTimeFormat"}) RegDeleteValueW(key, name);
    RegCloseKey(key);
    setenv("LC_ALL", "en_GB.UTF-8", 1);
    EXPECT_EQ(FormatLongDate(m_moment), u"9 December 2026");
    EXPECT_EQ(FormatTime(m_moment), u"14:05");
    unsetenv("LC_ALL");
}

TEST_F(UserFormatsTest, NamesComeInTheUsersLanguageAndTheProcessLocaleStays) {
    const std::string locales = CompileGermanLocale();
    if (locales.empty()) GTEST_SKIP() << "localedef could not build de_DE.UTF-8";
    setenv("LOCPATH", locales.c_str(), 1);
    SetInternational(u"sLanguage", u"DEU");
    SetInternational(u"sLongDate", u"dddd, d. MMMM yyyy");
    const std::string before = std::setlocale(LC_ALL, nullptr);
    const std::string global = std::locale().name();
    EXPECT_EQ(FormatLongDate(m_moment), u"Mittwoch, 9. Dezember 2026");
    EXPECT_EQ(std::setlocale(LC_ALL, nullptr), before) << "the C locale is untouched";
    EXPECT_EQ(std::locale().name(), global) << "the global C++ locale is untouched";
    unsetenv("LOCPATH");
}

// Nothing set by the user: the language and the pattern come from LC_TIME.
TEST_F(UserFormatsTest, AGermanTimeLocaleAloneGivesAGermanDate) {
    const std::string locales = CompileGermanLocale();
    if (locales.empty()) GTEST_SKIP() << "localedef could not build de_DE.UTF-8";
    setenv("LOCPATH", locales.c_str(), 1);
    unsetenv("LC_ALL");
    setenv("LC_TIME", "de_DE.UTF-8", 1);
    EXPECT_EQ(FormatLongDate(m_moment), u"Mittwoch, 9. Dezember 2026");
    unsetenv("LC_TIME");
    unsetenv("LOCPATH");
}
