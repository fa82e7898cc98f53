#include "kernel/real/change_watcher.h"

#include <fcntl.h>
#include <linux/netlink.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

namespace kern::real {
namespace {

void CloseFd(int* fd) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
}

int OpenUevents() {
    const int fd = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_KOBJECT_UEVENT);
    if (fd < 0) return -1;
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    address.nl_groups = 1;  // the kernel's own events
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Whether any queued uevent concerns a block device.
bool DrainUevents(int fd) {
    bool block = false;
    char message[8192];
    ssize_t n;
    while ((n = ::recv(fd, message, sizeof message - 1, 0)) > 0) {
        message[n] = 0;
        for (std::size_t at = 0; at < std::size_t(n); at += std::strlen(message + at) + 1)
            if (std::strcmp(message + at, "SUBSYSTEM=block") == 0) block = true;
    }
    return block;
}

// Whether a block device's entry ("b8:17") of the device database changed.
bool DrainInotify(int fd) {
    bool block = false;
    alignas(inotify_event) char events[4096];
    ssize_t n;
    while ((n = ::read(fd, events, sizeof events)) > 0) {
        for (char* p = events; p < events + n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(p);
            if (e->len && e->name[0] == 'b') block = true;
            p += sizeof(inotify_event) + e->len;
        }
    }
    return block;
}

}  // namespace

ChangeWatcher::ChangeWatcher(const SystemFiles& files, std::function<void()> changed) : m_changed(std::move(changed)) {
    m_mountsFd = ::open(files.Path("/proc/self/mountinfo").c_str(), O_RDONLY | O_CLOEXEC);
    if (files.Live()) m_ueventFd = OpenUevents();
    m_inotifyFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_inotifyFd >= 0 &&
        ::inotify_add_watch(m_inotifyFd, files.Path("/run/udev/data").c_str(), IN_CLOSE_WRITE | IN_MOVED_TO | IN_DELETE) < 0)
        CloseFd(&m_inotifyFd);
    m_stopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    DrainMountTable();
}

ChangeWatcher::~ChangeWatcher() {
    Stop();
    CloseFd(&m_mountsFd);
    CloseFd(&m_ueventFd);
    CloseFd(&m_inotifyFd);
    CloseFd(&m_stopFd);
}

void ChangeWatcher::Start() {
    if (!m_thread.joinable()) m_thread = std::thread([this] { Loop(); });
}

void ChangeWatcher::Stop() {
    if (!m_thread.joinable()) return;
    const std::uint64_t one = 1;
    if (::write(m_stopFd, &one, sizeof one) < 0) {}
    m_thread.join();
}

// Reading the mount table to its end re-arms its change notification.
bool ChangeWatcher::DrainMountTable() {
    if (m_mountsFd < 0) return false;
    char buffer[8192];
    ::lseek(m_mountsFd, 0, SEEK_SET);
    while (::read(m_mountsFd, buffer, sizeof buffer) > 0) {
    }
    return true;
}

void ChangeWatcher::Loop() {
    for (;;) {
        pollfd fds[4] = {{m_stopFd, POLLIN, 0}, {m_mountsFd, POLLPRI, 0}, {m_ueventFd, POLLIN, 0}, {m_inotifyFd, POLLIN, 0}};
        if (::poll(fds, 4, -1) < 0) continue;
        if (fds[0].revents) return;
        bool changed = false;
        if (fds[1].revents & (POLLPRI | POLLERR)) changed = DrainMountTable();
        if (fds[2].revents & POLLIN) changed |= DrainUevents(m_ueventFd);
        if (fds[3].revents & POLLIN) changed |= DrainInotify(m_inotifyFd);
        if (changed) m_changed();
    }
}

}  // namespace kern::real
