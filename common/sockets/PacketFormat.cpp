#include "sockets/PacketFormat.h"

void PacketHeader::Encode(BYTE* out) const {
    WriteLe32(out, length);
    WriteLe32(out + 4, flags);
    if (!HasLongHeader(flags)) return;
    WriteLe32(out + 8, a);
    WriteLe32(out + 12, b);
    WriteLe32(out + 16, c);
    WriteLe32(out + 20, d);
}

bool PacketHeader::Decode(const BYTE* bytes, std::size_t available) {
    if (available < kShortHeaderSize) return false;
    length = ReadLe32(bytes);
    flags = ReadLe32(bytes + 4);
    if (!HasLongHeader(flags)) return true;
    if (available < kLongHeaderSize) return false;
    a = ReadLe32(bytes + 8);
    b = ReadLe32(bytes + 12);
    c = ReadLe32(bytes + 16);
    d = ReadLe32(bytes + 20);
    return true;
}
