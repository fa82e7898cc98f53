// Values as lumetra-reg shows and reads them.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/wintypes.h"

struct ValueData {
    DWORD type = 0;
    std::vector<BYTE> bytes;
};

// "REG_DWORD", "REG_SZ", ... or "REG_TYPE_<n>".
std::string TypeName(DWORD type);

// The data for a person: dwords as hex and decimal, strings as text, the
// rest as spaced hex bytes.
std::string ShowData(const ValueData& value);

// The data in export form: dword:0000002a, "text" with \\ and \" escaped,
// hex:01,02 for binary, hex(<type>):... for other types.
std::string ExportData(const ValueData& value);

// Parses the set command's TYPE VALUE: dword (decimal or 0x hex, 32 bits),
// sz (UTF-8 text, stored as UTF-16 with its terminator), binary (hex digits,
// optionally separated by blanks, commas or colons). Nothing for bad input.
std::optional<ValueData> ParseValue(const std::string& type, const std::string& text);
