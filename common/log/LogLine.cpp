#include "log/LogLine.h"

#include "base/clock.h"
#include "base/format.h"
#include "log/LogLevel.h"

namespace logging {

namespace {

std::u16string_view PartOrEmpty(std::span<const std::u16string_view> parts, std::size_t i) {
    return i < parts.size() ? parts[i] : std::u16string_view();
}

std::u16string_view SeparatorIfPresent(std::span<const std::u16string_view> parts, std::size_t i) {
    return i < parts.size() ? std::u16string_view(u" | ") : std::u16string_view();
}

}  // namespace

std::u16string ComposeMessage(bool thread_prefix, DWORD thread_id, std::span<const std::u16string_view> parts,
                              DWORD event_id) {
    const auto p1 = PartOrEmpty(parts, 0), p2 = PartOrEmpty(parts, 1), p3 = PartOrEmpty(parts, 2);
    const auto s2 = SeparatorIfPresent(parts, 1), s3 = SeparatorIfPresent(parts, 2);
    std::u16string message = thread_prefix
        ? plat::FormatN(kMaxFormatted, u"[08%x] %s%s%s%s%s", thread_id, p1, s2, p2, s3, p3)
        : plat::FormatN(kMaxFormatted, u"%s%s%s%s%s", p1, s2, p2, s3, p3);
    if (event_id != 0) message = plat::FormatN(kMaxFormatted, u"%s(EVENT 0x%x)", message, event_id);
    if (!message.empty() && message.back() == u'\n') message.pop_back();
    return message;
}

std::u16string FormatStamp(std::uint64_t utc_filetime) {
    const FILETIME utc = plat::U64ToFileTime(utc_filetime);
    FILETIME local{};
    SYSTEMTIME st{};
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &st)) st = SYSTEMTIME{};
    return plat::Format(u"%02lu.%02lu.%04lu %02lu:%02lu:%02lu:%03lu", st.wDay, st.wMonth, st.wYear, st.wHour,
                        st.wMinute, st.wSecond, st.wMilliseconds);
}

std::u16string FormatHeader(LONG level, std::u16string_view category) {
    return plat::Format(u"%s: %s%s", LevelName(level), category, category.empty() ? u"" : u":");
}

std::u16string FormatLine(std::uint64_t utc_filetime, LONG level, std::u16string_view category,
                          std::u16string_view message) {
    return plat::Format(u"%-20s %s%s", FormatStamp(utc_filetime), FormatHeader(level, category),
                        message.substr(0, kMaxLineMessage));
}

}  // namespace logging
