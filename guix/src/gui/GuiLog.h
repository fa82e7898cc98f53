// The GUI's one global log. The application configures it from the
// registry at start (CLog::ReadOptions) and closes it at exit; every part of
// the GUI writes its progress lines at level 5 ("AUD") without a category
// and fatal start-up problems at level 1 ("CRI").
#pragma once

#include "log/Log.h"

namespace gui {

inline constexpr LONG kTraceLevel = 5;
inline constexpr LONG kFatalLevel = 1;

CLog& Log();

template <typename Format, typename... Args>
void Trace(const Format& format, const Args&... args) {
    CLog::Print(&Log(), kTraceLevel, u"", format, args...);
}

template <typename Format, typename... Args>
void Fatal(const Format& format, const Args&... args) {
    CLog::Print(&Log(), kFatalLevel, u"", format, args...);
}

}  // namespace gui
