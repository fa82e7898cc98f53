#include "RawPeer.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "sockets/PacketFormat.h"
#include "sockets/RegistrationRecord.h"

namespace {

// False when the connection failed. A send that times out is tried again
// until `stop` is set (and the packet is left unfinished).
bool SendAll(int fd, const std::vector<BYTE>& bytes, const std::atomic<bool>& stop) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n > 0) sent += static_cast<std::size_t>(n);
        else if (n < 0 && (errno == EAGAIN || errno == EINTR) && !stop) continue;
        else return n < 0 && errno == EAGAIN;
    }
    return true;
}

}  // namespace

std::vector<BYTE> MessagePacket(const std::vector<BYTE>& payload) {
    std::vector<BYTE> packet(kShortHeaderSize);
    PacketHeader{static_cast<DWORD>(payload.size()), PACKET_MSG}.Encode(packet.data());
    packet.insert(packet.end(), payload.begin(), payload.end());
    return packet;
}

RawPeer::RawPeer(WORD port) : m_fd(socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in service{};
    service.sin_family = AF_INET;
    service.sin_port = htons(port);
    service.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(m_fd, reinterpret_cast<sockaddr*>(&service), sizeof service) != 0) return;
    std::vector<BYTE> request(kLongHeaderSize);
    PacketHeader{RegistrationRecord::kSize, PACKET_SYS | PACKET_REQUEST | PACKET_REGISTER, 1, 1, 1, 1}.Encode(
        request.data());
    const RegistrationRecord record = RegistrationRecord::Make(nullptr, 0);
    request.insert(request.end(), record.Bytes(), record.Bytes() + RegistrationRecord::kSize);
    if (!SendAll(m_fd, request, m_stop)) return;
    std::vector<BYTE> answer(kLongHeaderSize + RegistrationRecord::kSize);
    m_registered = recv(m_fd, answer.data(), answer.size(), MSG_WAITALL) == static_cast<ssize_t>(answer.size());
}

RawPeer::~RawPeer() {
    StopFlooding();
    close(m_fd);
}

void RawPeer::Flood(std::vector<BYTE> packet) {
    // A bounded send, so that the thread notices StopFlooding while the
    // service takes nothing.
    const timeval slice{0, 100000};
    setsockopt(m_fd, SOL_SOCKET, SO_SNDTIMEO, &slice, sizeof slice);
    m_flood = std::thread([this, packet = std::move(packet)] {
        while (!m_stop) {
            if (!SendAll(m_fd, packet, m_stop)) {
                m_disconnected = true;
                return;
            }
            ++m_sent;
        }
    });
}

void RawPeer::StopFlooding() {
    m_stop = true;
    if (m_flood.joinable()) m_flood.join();
}
