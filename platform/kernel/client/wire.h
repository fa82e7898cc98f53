// The frames between user-mode programs and the kernel host on its Unix
// socket. Every frame is a 12-byte header (payload length, message type,
// request id; little-endian) and a payload of at most kMaxPayload bytes.
// Requests carry an id chosen by the sender; the answer repeats it.
//
//   client -> kernel   Open(access u32, path UTF-16)      -> OpenReply(status, file id)
//                      Control(file id, code, output length, input bytes)
//                                                          -> ControlReply(status, information, fast u32, output)
//                      Close(file id)                      -> CloseReply(status)
//                      Command(UTF-8 words, NUL-separated) -> CommandReply(status, UTF-8 text)
//                      DriveQuery(letter u32)              -> DriveReply(status, type, total u64, free u64,
//                                                                        mount point UTF-8)
//   kernel -> client   CheckHandle(handle, access)         -> HandleAnswer(status)
//                      SignalEvent(handle)                 (no answer)
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kwire {

enum class MessageType : std::uint16_t {
    Open = 1,
    Control = 2,
    Close = 3,
    Command = 4,
    DriveQuery = 5,
    HandleAnswer = 6,
    OpenReply = 101,
    ControlReply = 102,
    CloseReply = 103,
    CommandReply = 104,
    DriveReply = 105,
    CheckHandle = 201,
    SignalEvent = 202,
};

constexpr std::uint32_t kMaxPayload = 16u << 20;
constexpr std::size_t kHeaderSize = 12;

struct Frame {
    MessageType type = MessageType::Open;
    std::uint32_t id = 0;
    std::vector<std::uint8_t> payload;
};

// Blocking whole-frame I/O on a stream socket. False on end of stream, an
// error, or a header announcing more than kMaxPayload.
bool ReadFrame(int fd, Frame* frame);
bool WriteFrame(int fd, const Frame& frame);

class Writer {
public:
    Writer& U32(std::uint32_t v);
    Writer& U64(std::uint64_t v);
    Writer& Bytes(const void* data, std::size_t size);
    Writer& Text16(const std::u16string& text);  // length in characters, then the characters
    Writer& Text8(const std::string& text);  // length in bytes, then the bytes
    std::vector<std::uint8_t> Take() { return std::move(m_bytes); }

private:
    std::vector<std::uint8_t> m_bytes;
};

// Reads fields in order; every read fails (and keeps failing) past the end.
class Reader {
public:
    explicit Reader(const std::vector<std::uint8_t>& bytes) : m_bytes(bytes) {}
    bool U32(std::uint32_t* v);
    bool U64(std::uint64_t* v);
    bool Text16(std::u16string* text);
    bool Text8(std::string* text);
    // The rest of the payload.
    std::vector<std::uint8_t> Rest();

private:
    const std::vector<std::uint8_t>& m_bytes;
    std::size_t m_pos = 0;
};

// The socket a kernel host listens on: $LUMETRA_KERNEL_SOCKET when set, else
// "kernel.sock" in the runtime directory.
std::string DefaultSocketPath();
// The socket a client connects to: the same, except that a user without a
// kernel host of their own (no socket in their runtime directory, no
// LUMETRA_ROOT) reaches the machine's host, /run/zelmor-lumetra/kernel.sock,
// which an installed system runs for its desktop users.
std::string ClientSocketPath();

}  // namespace kwire
