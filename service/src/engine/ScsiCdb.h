// Command descriptor blocks of the SCSI commands the engine sends (SPC-4).
#pragma once

#include <initializer_list>

#include "base/wintypes.h"

struct ScsiCdb {
    BYTE bytes[16] = {};
    BYTE length = 0;

    ScsiCdb(std::initializer_list<BYTE> b) : length(static_cast<BYTE>(b.size())) {
        BYTE* out = bytes;
        for (BYTE v : b) *out++ = v;
    }
};

namespace scsi {
inline constexpr BYTE kRequestSense = 0x03;
inline constexpr BYTE kInquiry = 0x12;
inline constexpr BYTE kModeSelect6 = 0x15;
inline constexpr BYTE kModeSense6 = 0x1A;
inline constexpr BYTE kReceiveDiagnostic = 0x1C;
inline constexpr BYTE kSendDiagnostic = 0x1D;
inline constexpr BYTE kLogSense = 0x4D;

inline constexpr BYTE kExceptionsPage = 0x1C;  // informational exceptions control
inline constexpr BYTE kControlPage = 0x0A;
inline constexpr BYTE kPageChangeable = 0x40;  // MODE SENSE page control
inline constexpr BYTE kLogCumulative = 0x40;   // LOG SENSE page control: current cumulative

// MODE SENSE(6) without block descriptors.
inline ScsiCdb ModeSense6(BYTE pageControlAndCode, BYTE allocation) {
    return {kModeSense6, 0x08, pageControlAndCode, 0, allocation, 0};
}
// MODE SELECT(6) with page format and save pages.
inline ScsiCdb ModeSelect6(BYTE parameterLength) { return {kModeSelect6, 0x11, 0, 0, parameterLength, 0}; }
inline ScsiCdb LogSense(BYTE pageControlAndCode, WORD allocation) {
    return {kLogSense, 0, pageControlAndCode, 0, 0, 0, 0, BYTE(allocation >> 8), BYTE(allocation), 0};
}
inline ScsiCdb Inquiry(bool vitalProductData, BYTE page, BYTE allocation) {
    return {kInquiry, BYTE(vitalProductData ? 1 : 0), page, 0, allocation, 0};
}
// SEND DIAGNOSTIC with page format: asks for a diagnostic page.
inline ScsiCdb SendDiagnostic(BYTE parameterLength) { return {kSendDiagnostic, 0x10, 0, 0, parameterLength, 0}; }
inline ScsiCdb ReceiveDiagnostic(bool pageValid, BYTE page, WORD allocation) {
    return {kReceiveDiagnostic, BYTE(pageValid ? 1 : 0), page, BYTE(allocation >> 8), BYTE(allocation), 0};
}
inline ScsiCdb RequestSense(BYTE allocation) { return {kRequestSense, 0, 0, 0, allocation, 0}; }
}  // namespace scsi
