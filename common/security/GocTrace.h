// Internal: trace lines of the access-rights check, written at level 15.
#pragma once

#include "log/Log.h"

CLog* ADGLog();

template <typename... Args>
void GocTrace(CLog* log, std::string_view format, const Args&... args) {
    CLog::Print(log, logging::kLevelAlways, u"", format, args...);
}
