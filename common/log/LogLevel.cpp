#include "log/LogLevel.h"

#include <array>

namespace logging {

std::u16string_view LevelName(LONG level) {
    static constexpr std::array<std::u16string_view, 22> kNames = {
        u"off", u"CRI", u"ERR", u"WAR", u"INF", u"AUD", u"DB1", u"DB2", u"DB3", u"DB4", u"RS1",
        u"RS2", u"RS3", u"RS4", u"RS5", u"ALW", u"RS6", u"RS7", u"RS8", u"RS9", u"RSA", u"TRM"};
    if (level < 0) return kNames.front();
    if (level >= LONG(kNames.size())) return kNames.back();
    return kNames[static_cast<std::size_t>(level)];
}

}  // namespace logging
