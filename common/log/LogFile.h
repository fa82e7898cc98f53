// One open log file. It is opened for appending, created when missing, and
// others may read it while it is written. Every Write hands the whole block
// to the kernel in one append so that lines of concurrent writers never mix.
//
// Write-through: the log makes each write durable with Flush (fdatasync)
// after it while the log's flush flag is on, which is the default; with
// flushing switched off the writes go through the page cache.
#pragma once

#include <cstddef>
#include <string>

namespace logging {

class LogFile {
public:
    LogFile() = default;
    ~LogFile() { Close(); }
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Closes a file already open first. False (last error set) on failure.
    bool Open(const std::string& path);
    bool IsOpen() const { return m_fd >= 0; }
    bool Write(const void* bytes, std::size_t count);
    bool Flush();
    // True when a file was open.
    bool Close();

private:
    int m_fd = -1;
};

}  // namespace logging
