// Reads binary log records back. Records are walked by their length-prefixed
// fields, never by the declared size (which does not match the bytes that
// follow). A record cut short at the end of the data is reported as such.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "base/wintypes.h"

namespace logging {

struct DecodedRecord {
    DWORD version = 0;
    DWORD tag = 0;
    DWORD declaredSize = 0;
    LONG level = 0;
    std::uint64_t time = 0;
    // Multibyte text up to its terminator, unscrambled.
    std::string category;
    std::string message;
    std::string extra;
};

enum class ReadStatus {
    Record,     // one record decoded
    End,        // no bytes left
    Truncated,  // the data ends inside a record
    Malformed,  // not a record of the known format; reading cannot go on
};

class BinaryRecordReader {
public:
    // `scramble_count` is the count the file was written with (0: plain).
    BinaryRecordReader(std::span<const BYTE> data, unsigned scramble_count)
        : m_data(data), m_scrambleCount(scramble_count) {}

    ReadStatus Next(DecodedRecord& out);
    // Offset of the next record, or of the record that failed.
    std::size_t Offset() const { return m_offset; }

private:
    bool ReadU32(std::size_t& at, DWORD& out) const;
    bool ReadBlock(std::size_t& at, std::span<const BYTE>& out) const;
    std::string Unscramble(std::span<const BYTE> bytes) const;

    std::span<const BYTE> m_data;
    unsigned m_scrambleCount;
    std::size_t m_offset = 0;
};

}  // namespace logging
