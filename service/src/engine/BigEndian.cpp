#include "engine/BigEndian.h"

#include <algorithm>

#include "smart/LittleEndian.h"

void CopyBigEndian(BYTE* dest, std::size_t destSize, const BYTE* source, BYTE sourceLength) {
    std::size_t copied = std::min<std::size_t>(destSize, sourceLength);
    // The least significant byte is the source's last one.
    for (std::size_t i = 0; i < copied; ++i) dest[i] = source[sourceLength - 1 - i];
    std::fill(dest + copied, dest + destSize, BYTE{0});
}

std::uint64_t BigEndianValue(const BYTE* source, BYTE length, std::size_t width) {
    BYTE little[8];
    width = std::min<std::size_t>(width, sizeof little);
    CopyBigEndian(little, width, source, length);
    return smart_le::Get(little, width);
}
