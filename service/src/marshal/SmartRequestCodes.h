// Request and status codes of the S.M.A.R.T. request protocol.
//
// Every message starts with two u32: the code (a request code below, or the
// response code = request code + 1) and the status (0 in requests; one of
// SmartMarshalStatus in responses). The service answers every request with
// exactly one response on the same connection.
#pragma once

#include "base/wintypes.h"

enum SmartRequestCode : DWORD {
    QUIVR_SMART_GET_DEVICES = 0,
    QUIVR_SMART_ENABLE = 2,
    QUIVR_SMART_DISABLE = 4,
    QUIVR_SMART_READ_CAPABILITIES = 6,
    QUIVR_SMART_READ_ATTRIBUTES = 8,
    QUIVR_SMART_RETURN_STATUS = 10,
    QUIVR_SMART_ENABLE_AUTOSAVE = 12,
    QUIVR_SMART_DISABLE_AUTOSAVE = 14,
    QUIVR_SMART_ENABLE_AUTO_OFFLINE = 16,
    QUIVR_SMART_DISABLE_AUTO_OFFLINE = 18,
    QUIVR_SMART_READ_LOG = 20,
    QUIVR_SMART_EXECUTE_SELF_TEST = 22,
    QUIVR_SMART_READ_SELF_TEST_DATA = 24,
    QUIVR_SMART_ABORT_SELF_TEST = 26,
};
inline constexpr DWORD kSmartLastRequest = QUIVR_SMART_ABORT_SELF_TEST;

// The code of a request shorter than the 8-byte header, which has no
// readable code: the answer (status 1) carries this one, which no request
// or response code can be.
inline constexpr DWORD kSmartNoCode = 0xFFFFFFFF;

inline constexpr bool IsSmartRequestCode(DWORD code) { return code <= kSmartLastRequest && code % 2 == 0; }
inline constexpr DWORD SmartResponseCode(DWORD request) { return request + 1; }

enum SmartMarshalStatus : DWORD {
    SMART_STATUS_OK = 0,
    SMART_STATUS_UNKNOWN_REQUEST = 1,    // answered with the request's own code
    SMART_STATUS_BAD_REQUEST = 2,        // the payload does not decode
    SMART_STATUS_ENCODE_FAILED = 3,      // the response could not be encoded
    SMART_STATUS_UNKNOWN_DEVICE = 4,     // server id not in the dispatcher's table
    SMART_STATUS_OPERATION_FAILED = 5,   // the engine operation returned false
};
