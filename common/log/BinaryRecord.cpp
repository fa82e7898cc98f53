#include "log/BinaryRecord.h"

#include "log/Multibyte.h"

namespace logging {

namespace {

void AppendU32(std::string& out, DWORD value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// The string as stored: converted, cut to leave room for the terminator,
// terminated, and scrambled when asked.
std::string StoredString(std::u16string_view text, std::size_t max_bytes, bool scramble, BYTE count) {
    std::string bytes = ToMultibyte(text, max_bytes - 1);
    bytes.push_back('\0');
    if (scramble) {
        for (char& c : bytes) c = static_cast<char>(ScrambleByte(static_cast<BYTE>(c), count));
    }
    return bytes;
}

void AppendField(std::string& out, const std::string& bytes) {
    AppendU32(out, static_cast<DWORD>(bytes.size()));
    out += bytes;
}

}  // namespace

BYTE ScrambleByte(BYTE value, unsigned count) {
    const unsigned n = count % 8;
    return n ? static_cast<BYTE>((value << n) | (value >> (8 - n))) : value;
}

BYTE UnscrambleByte(BYTE value, unsigned count) { return ScrambleByte(value, 8 - count % 8); }

std::string BuildBinaryRecord(const LogEntry& entry, bool scramble, BYTE count) {
    const std::string category = StoredString(entry.category, kRecordCategoryBytes, scramble, count);
    const std::string message = StoredString(entry.message, kRecordTextBytes, scramble, count);
    const std::string extra = StoredString(entry.extra, kRecordTextBytes, scramble, count);

    std::string out;
    out.reserve(kRecordFixedSize + category.size() + message.size() + extra.size());
    AppendU32(out, kRecordVersion);
    AppendU32(out, entry.tag);
    AppendU32(out, static_cast<DWORD>(kRecordFixedSize + category.size() + message.size() + extra.size()));
    AppendU32(out, 4);
    AppendU32(out, static_cast<DWORD>(entry.level));
    AppendU32(out, 8);
    AppendU32(out, static_cast<DWORD>(entry.time & 0xFFFFFFFFu));
    AppendU32(out, static_cast<DWORD>(entry.time >> 32));
    AppendField(out, category);
    AppendField(out, message);
    AppendField(out, extra);
    return out;
}

}  // namespace logging
