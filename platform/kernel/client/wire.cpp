#include "kernel/client/wire.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "registry/paths.h"

namespace kwire {
namespace {

constexpr std::size_t kReadChunk = 64 * 1024;

bool ReadAll(int fd, void* data, std::size_t size) {
    auto* p = static_cast<std::uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = ::read(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= std::size_t(n);
    }
    return true;
}

bool WriteAll(int fd, const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = ::send(fd, p, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= std::size_t(n);
    }
    return true;
}

std::uint32_t Load32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

void Store32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = std::uint8_t(v >> (8 * i));
}

}  // namespace

bool ReadFrame(int fd, Frame* frame) {
    std::uint8_t header[kHeaderSize];
    if (!ReadAll(fd, header, sizeof(header))) return false;
    const std::uint32_t length = Load32(header);
    if (length > kMaxPayload) return false;
    frame->type = static_cast<MessageType>(std::uint16_t(header[4] | header[5] << 8));
    frame->id = Load32(header + 8);
    // The payload grows with the bytes that arrive, so a peer that announces
    // 16 MiB and sends nothing holds no more than one chunk of memory.
    frame->payload.clear();
    while (frame->payload.size() < length) {
        const std::size_t at = frame->payload.size();
        const std::size_t chunk = std::min<std::size_t>(length - at, kReadChunk);
        frame->payload.resize(at + chunk);
        if (!ReadAll(fd, frame->payload.data() + at, chunk)) return false;
    }
    return true;
}

bool WriteFrame(int fd, const Frame& frame) {
    if (frame.payload.size() > kMaxPayload) return false;
    std::vector<std::uint8_t> bytes(kHeaderSize + frame.payload.size());
    Store32(bytes.data(), std::uint32_t(frame.payload.size()));
    bytes[4] = std::uint8_t(std::uint16_t(frame.type) & 0xFF);
    bytes[5] = std::uint8_t(std::uint16_t(frame.type) >> 8);
    Store32(bytes.data() + 8, frame.id);
    if (!frame.payload.empty()) std::memcpy(bytes.data() + kHeaderSize, frame.payload.data(), frame.payload.size());
    return WriteAll(fd, bytes.data(), bytes.size());
}

Writer& Writer::U32(std::uint32_t v) {
    const std::size_t at = m_bytes.size();
    m_bytes.resize(at + 4);
    Store32(m_bytes.data() + at, v);
    return *this;
}

Writer& Writer::U64(std::uint64_t v) { return U32(std::uint32_t(v)).U32(std::uint32_t(v >> 32)); }

Writer& Writer::Bytes(const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    if (size) m_bytes.insert(m_bytes.end(), p, p + size);
    return *this;
}

Writer& Writer::Text16(const std::u16string& text) {
    U32(std::uint32_t(text.size()));
    for (char16_t c : text) {
        m_bytes.push_back(std::uint8_t(c & 0xFF));
        m_bytes.push_back(std::uint8_t(c >> 8));
    }
    return *this;
}

Writer& Writer::Text8(const std::string& text) { return U32(std::uint32_t(text.size())).Bytes(text.data(), text.size()); }

bool Reader::Text8(std::string* text) {
    std::uint32_t count = 0;
    if (!U32(&count) || m_bytes.size() - m_pos < count) {
        m_pos = m_bytes.size() + 1;
        return false;
    }
    text->assign(m_bytes.begin() + std::ptrdiff_t(m_pos), m_bytes.begin() + std::ptrdiff_t(m_pos + count));
    m_pos += count;
    return true;
}

bool Reader::U32(std::uint32_t* v) {
    if (m_pos > m_bytes.size() || m_bytes.size() - m_pos < 4) {
        m_pos = m_bytes.size() + 1;
        return false;
    }
    *v = Load32(m_bytes.data() + m_pos);
    m_pos += 4;
    return true;
}

bool Reader::U64(std::uint64_t* v) {
    std::uint32_t lo = 0, hi = 0;
    if (!U32(&lo) || !U32(&hi)) return false;
    *v = std::uint64_t(hi) << 32 | lo;
    return true;
}

bool Reader::Text16(std::u16string* text) {
    std::uint32_t count = 0;
    if (!U32(&count) || m_bytes.size() - m_pos < std::size_t(count) * 2) {
        m_pos = m_bytes.size() + 1;
        return false;
    }
    text->resize(count);
    for (std::uint32_t i = 0; i < count; ++i)
        (*text)[i] = char16_t(m_bytes[m_pos + 2 * i] | m_bytes[m_pos + 2 * i + 1] << 8);
    m_pos += std::size_t(count) * 2;
    return true;
}

std::vector<std::uint8_t> Reader::Rest() {
    if (m_pos >= m_bytes.size()) return {};
    return {m_bytes.begin() + std::ptrdiff_t(m_pos), m_bytes.end()};
}

std::string DefaultSocketPath() {
    const char* env = std::getenv("LUMETRA_KERNEL_SOCKET");
    if (env && *env) return env;
    return plat::RuntimeDirectory() + "/kernel.sock";
}

std::string ClientSocketPath() {
    const std::string own = DefaultSocketPath();
    const char* env = std::getenv("LUMETRA_KERNEL_SOCKET");
    if ((env && *env) || !plat::StateRoot().empty() || geteuid() == 0) return own;
    static constexpr const char* kMachineSocket = "/run/zelmor-lumetra/kernel.sock";
    if (::access(own.c_str(), F_OK) != 0 && ::access(kMachineSocket, F_OK) == 0) return kMachineSocket;
    return own;
}

}  // namespace kwire
