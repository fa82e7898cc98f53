#include "log/LogPath.h"

#include "base/clock.h"
#include "base/format.h"
#include "base/thread.h"

namespace logging {

namespace {

void ReplaceAll(std::u16string& text, std::u16string_view from, std::u16string_view to) {
    for (std::size_t at = text.find(from); at != std::u16string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

std::u16string LocalStamp() {
    SYSTEMTIME st{};
    GetLocalTime(&st);
    return plat::Format(u"%04u%02u%02u%02u%02u%02u", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute,
                        st.wSecond);
}

}  // namespace

std::u16string ExpandLogPath(std::u16string_view path) {
    std::u16string expanded(path);
    ReplaceAll(expanded, u"%D", LocalStamp());
    ReplaceAll(expanded, u"%P", plat::Format(u"%lu", GetCurrentProcessId()));
    return expanded;
}

}  // namespace logging
