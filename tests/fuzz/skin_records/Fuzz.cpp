// Skin records from the resource library: comma-separated fields, too few
// or too many of them, numbers past the range of int, rectangles whose
// edges would wrap. The input is UTF-16 little-endian text; its first code
// unit chooses the record kind.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "skin/SkinRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    std::u16string text;
    for (size_t i = 2; i + 1 < size; i += 2) text.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
    switch (data[0] % 5) {
    case 0: skin::ParseButtonRecord(text); break;
    case 1: skin::ParseProgressRecord(text); break;
    case 2: skin::ParseSliderRecord(text); break;
    case 3: skin::ParseLabelRecord(text); break;
    default: {
        skin::SkinRecordReader reader(text);
        while (!reader.Rest().empty()) {
            const std::size_t before = reader.Rest().size();
            reader.Number();
            if (reader.Rest().size() >= before) std::abort();  // every cut consumes text
        }
        break;
    }
    }
    return 0;
}
