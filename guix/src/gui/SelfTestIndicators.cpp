#include "SelfTestIndicators.h"

#include "base/format.h"

namespace selftest {
namespace {

constexpr DWORD kDay = 86400, kHour = 3600, kMinute = 60;

// Two digits at least, as "0%d" or "%d".
std::u16string TwoDigits(DWORD value) { return plat::Format(value < 10 ? u"0%d" : u"%d", value); }

}  // namespace

std::u16string RemainingTimeText(DWORD seconds, std::u16string_view day, std::u16string_view days) {
    if (seconds == 0) return {};
    std::u16string text;
    if (seconds >= kDay) {
        const DWORD d = seconds / kDay;
        text = plat::Format(u"%d %s, ", d, d == 1 ? day : days);
        seconds %= kDay;
    }
    text += TwoDigits(seconds / kHour) + u":";
    seconds %= kHour;
    text += TwoDigits(seconds / kMinute) + u":";
    return text + TwoDigits(seconds % kMinute);
}

std::optional<Result> ResultOf(BYTE status) {
    switch (status) {
    case 0: return Result{235, kGreen, true};
    case 1:
    case 2:
    case 3: return Result{236, kRed, true};
    case 4: return Result{237, kRed, true};
    case 5: return Result{238, kRed, true};
    case 6: return Result{239, kRed, true};
    case 7: return Result{240, kRed, true};
    case kStatusInProgress: return Result{241, kBlack, false};
    default: return std::nullopt;
    }
}

}  // namespace selftest
