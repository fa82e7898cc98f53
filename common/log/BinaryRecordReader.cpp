#include "log/BinaryRecordReader.h"

#include "log/BinaryRecord.h"

namespace logging {

namespace {

DWORD LoadU32(const BYTE* p) { return DWORD(p[0]) | DWORD(p[1]) << 8 | DWORD(p[2]) << 16 | DWORD(p[3]) << 24; }

}  // namespace

bool BinaryRecordReader::ReadU32(std::size_t& at, DWORD& out) const {
    if (m_data.size() - at < 4) return false;
    out = LoadU32(&m_data[at]);
    at += 4;
    return true;
}

// A 32-bit length followed by that many bytes.
bool BinaryRecordReader::ReadBlock(std::size_t& at, std::span<const BYTE>& out) const {
    DWORD length = 0;
    if (!ReadU32(at, length) || m_data.size() - at < length) return false;
    out = m_data.subspan(at, length);
    at += length;
    return true;
}

std::string BinaryRecordReader::Unscramble(std::span<const BYTE> bytes) const {
    std::string text;
    for (BYTE b : bytes) {
        if (b == 0) break;
        text.push_back(static_cast<char>(UnscrambleByte(b, m_scrambleCount)));
    }
    return text;
}

ReadStatus BinaryRecordReader::Next(DecodedRecord& out) {
    if (m_offset >= m_data.size()) return ReadStatus::End;
    std::size_t at = m_offset;
    DecodedRecord record;
    if (!ReadU32(at, record.version)) return ReadStatus::Truncated;
    if (record.version != kRecordVersion) return ReadStatus::Malformed;

    std::span<const BYTE> level, time, category, message, extra;
    if (!ReadU32(at, record.tag) || !ReadU32(at, record.declaredSize) || !ReadBlock(at, level) ||
        !ReadBlock(at, time) || !ReadBlock(at, category) || !ReadBlock(at, message) || !ReadBlock(at, extra)) {
        return ReadStatus::Truncated;
    }
    if (level.size() != 4 || time.size() != 8) return ReadStatus::Malformed;
    record.level = static_cast<LONG>(LoadU32(level.data()));
    record.time = std::uint64_t(LoadU32(time.data() + 4)) << 32 | LoadU32(time.data());
    record.category = Unscramble(category);
    record.message = Unscramble(message);
    record.extra = Unscramble(extra);

    m_offset = at;
    out = std::move(record);
    return ReadStatus::Record;
}

}  // namespace logging
