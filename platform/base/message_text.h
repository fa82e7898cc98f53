// FormatMessageW for system messages: the English text of the Win32 and
// Winsock error codes the system reports, as Windows words them.
#pragma once

#include <string>

#include "base/wintypes.h"

inline constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x00001000;
inline constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x00000200;

// The text for `error`, or "" when the code has none here.
std::u16string SystemMessageText(DWORD error);
// Only FORMAT_MESSAGE_FROM_SYSTEM is supported. The number of characters
// written (terminator excluded), or 0 with ERROR_MR_MID_NOT_FOUND (317).
DWORD FormatMessageW(DWORD flags, const void* source, DWORD message_id, DWORD language_id, WCHAR* buffer,
                     DWORD size, void* arguments);
