// The packet format of the connection between the GUI and the service: a
// header of 8 bytes (length, flags) or, for requests and replies, 24 bytes
// (length, flags, correlation ids A, B, C and key D), all little-endian
// 32-bit numbers, followed directly by the payload.
#pragma once

#include <array>
#include <cstddef>

#include "base/wintypes.h"

inline constexpr DWORD PACKET_MSG = 0x01;
inline constexpr DWORD PACKET_SYS = 0x02;
inline constexpr DWORD PACKET_PING = 0x04;
inline constexpr DWORD PACKET_PINGANSWER = 0x08;
inline constexpr DWORD PACKET_REQUEST = 0x10;
inline constexpr DWORD PACKET_REPLY = 0x20;
inline constexpr DWORD PACKET_REGISTER = 0x40;

inline constexpr DWORD kShortHeaderSize = 8;
inline constexpr DWORD kLongHeaderSize = 24;
// The largest payload a peer may announce. The largest message of this
// system is a few kilobytes; a connection announcing more is closed rather
// than buffering up to 4 GiB for it.
inline constexpr DWORD kMaxPayload = 1u << 20;

inline bool HasLongHeader(DWORD flags) { return (flags & (PACKET_REQUEST | PACKET_REPLY)) != 0; }

struct PacketHeader {
    DWORD length = 0;
    DWORD flags = 0;
    DWORD a = 0, b = 0, c = 0, d = 0;

    DWORD Size() const { return HasLongHeader(flags) ? kLongHeaderSize : kShortHeaderSize; }
    // Writes Size() bytes.
    void Encode(BYTE* out) const;
    // Reads length and flags, and the ids when `available` holds a long
    // header. False when fewer bytes than the header needs are available.
    bool Decode(const BYTE* bytes, std::size_t available);
};

inline DWORD ReadLe32(const BYTE* p) {
    return DWORD(p[0]) | DWORD(p[1]) << 8 | DWORD(p[2]) << 16 | DWORD(p[3]) << 24;
}
inline void WriteLe32(BYTE* p, DWORD v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<BYTE>(v >> (8 * i));
}

// What a received request is answered with (ids and key of the request),
// and on the waiting side where the reply goes.
struct ReplyContext {
    DWORD key = 0;
    DWORD a = 0, b = 0, c = 0;
    BOOL isReply = FALSE;
    HANDLE event = nullptr;
    BYTE* buffer = nullptr;
    DWORD bufferSize = 0;
    DWORD* length = nullptr;
};

class CPacketSocket;

// A received application packet waiting in the manager's queue. The
// payload is a malloc'd block that belongs to the handler it is given to.
struct SocketMessage {
    BYTE* payload = nullptr;
    DWORD length = 0;
    ReplyContext* context = nullptr;
    DWORD flags = 0;
    CPacketSocket* socket = nullptr;
};
