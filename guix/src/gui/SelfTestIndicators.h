// What the self-test dialog shows for a state of the test: the parts of the
// status byte, the remaining-time text and the result for each execution
// status (the ATA self-test execution status codes).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "ui/ui_types.h"

namespace selftest {

// The byte the service reports carries the tenths still to run in its high
// nibble and the execution status in its low nibble.
inline constexpr BYTE kStatusInProgress = 15;
inline constexpr int ProgressOf(BYTE raw) { return (10 - (raw >> 4)) * 10; }
inline constexpr BYTE StatusOf(BYTE raw) { return BYTE(raw & 0x0F); }

// "" for 0; otherwise an optional day part ("%d %s, " with `day` for one
// day, `days` for more) and hh:mm:ss.
std::u16string RemainingTimeText(DWORD seconds, std::u16string_view day, std::u16string_view days);

// Label colours (0x00BBGGRR).
inline constexpr COLORREF kGreen = 0x0000B400;
inline constexpr COLORREF kRed = 0x000000C8;
inline constexpr COLORREF kBlack = 0x00000000;

struct Result {
    UINT text;            // string resource put into the result format
    COLORREF colour;
    bool stopsAnimation;  // the test is over
};
// The result of an execution status; nothing for 8 to 14, which change
// nothing.
std::optional<Result> ResultOf(BYTE status);

}  // namespace selftest
