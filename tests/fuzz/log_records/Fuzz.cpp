// The binary log reader on damaged files: length-prefixed fields that claim
// more than remains, records cut anywhere, scrambled and plain. The first
// input byte chooses the scramble count.
#include <cstdint>
#include <cstdlib>

#include "log/BinaryRecordReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    logging::BinaryRecordReader reader({data + 1, size - 1}, data[0] & 0x7F);
    logging::DecodedRecord record;
    std::size_t last = 0;
    while (reader.Next(record) == logging::ReadStatus::Record) {
        // Every record moves the reader on, so a file cannot make it loop.
        if (reader.Offset() <= last || reader.Offset() > size - 1) std::abort();
        last = reader.Offset();
    }
    return 0;
}
