#include "log/LogFile.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "base/last_error.h"

namespace logging {

bool LogFile::Open(const std::string& path) {
    Close();
    m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (m_fd < 0) SetLastError(Win32ErrorFromErrno(errno));
    return m_fd >= 0;
}

bool LogFile::Write(const void* bytes, std::size_t count) {
    const auto* p = static_cast<const char*>(bytes);
    while (count > 0) {
        const ssize_t n = ::write(m_fd, p, count);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        count -= static_cast<std::size_t>(n);
    }
    return true;
}

bool LogFile::Flush() { return ::fdatasync(m_fd) == 0; }

bool LogFile::Close() {
    if (m_fd < 0) return false;
    ::close(m_fd);
    m_fd = -1;
    return true;
}

}  // namespace logging
