#include "base/file_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <string>

#include "base/handle.h"
#include "base/last_error.h"
#include "base/nt_types.h"
#include "base/text.h"
#include "base/win_errors.h"

namespace {

class OrdinaryFile final : public plat::HandleObject {
public:
    explicit OrdinaryFile(int fd) : m_fd(fd) {}
    ~OrdinaryFile() override { Close(); }
    void OnClose() override { Close(); }
    int Fd() const { return m_fd; }

private:
    void Close() {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
    }
    int m_fd;
};

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

// A handle opened without the access a call needs reads EBADF here, where
// Windows says access is denied.
BOOL FailErrno() { return Fail(errno == EBADF ? ERROR_ACCESS_DENIED : Win32ErrorFromErrno(errno)); }

int OpenFlags(DWORD access, DWORD disposition) {
    const bool read = access & (GENERIC_READ | GENERIC_ALL);
    const bool write = access & (GENERIC_WRITE | GENERIC_ALL);
    int flags = O_CLOEXEC | (read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY);
    switch (disposition) {
        case CREATE_NEW: return flags | O_CREAT | O_EXCL;
        case CREATE_ALWAYS: return flags | O_CREAT | O_TRUNC;
        case OPEN_EXISTING: return flags;
        case OPEN_ALWAYS: return flags | O_CREAT;
        case TRUNCATE_EXISTING: return write ? flags | O_TRUNC : -1;
        default: return -1;
    }
}

std::shared_ptr<OrdinaryFile> FileOf(HANDLE handle) { return plat::LookupHandleAs<OrdinaryFile>(handle); }

}  // namespace

namespace plat {

HANDLE CreateOrdinaryFile(LPCWSTR path, DWORD access, DWORD disposition) {
    std::string name = path ? Utf16ToUtf8(path) : std::string();
    std::replace(name.begin(), name.end(), '\\', '/');
    if (name.empty() || (name.size() >= 2 && name[1] == ':')) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    const int flags = OpenFlags(access, disposition);
    if (flags < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    const int fd = ::open(name.c_str(), flags, 0666);
    if (fd < 0) {
        // Windows names an existing file given to CREATE_NEW so.
        SetLastError(errno == EEXIST ? ERROR_FILE_EXISTS : Win32ErrorFromErrno(errno));
        return INVALID_HANDLE_VALUE;
    }
    return RegisterHandle(std::make_shared<OrdinaryFile>(fd));
}

}  // namespace plat

BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD size, DWORD* read, OVERLAPPED* overlapped) {
    if (read) *read = 0;
    if (overlapped) return Fail(ERROR_INVALID_PARAMETER);
    auto file = FileOf(handle);
    if (!file) return Fail(ERROR_INVALID_HANDLE);
    if (size && !buffer) return Fail(ERROR_NOACCESS);
    DWORD done = 0;
    while (done < size) {
        const ssize_t n = ::read(file->Fd(), static_cast<char*>(buffer) + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return FailErrno();
        if (n == 0) break;  // the end of the file: success with fewer bytes
        done += DWORD(n);
    }
    if (read) *read = done;
    return TRUE;
}

BOOL WriteFile(HANDLE handle, LPCVOID data, DWORD size, DWORD* written, OVERLAPPED* overlapped) {
    if (written) *written = 0;
    if (overlapped) return Fail(ERROR_INVALID_PARAMETER);
    auto file = FileOf(handle);
    if (!file) return Fail(ERROR_INVALID_HANDLE);
    if (size && !data) return Fail(ERROR_NOACCESS);
    DWORD done = 0;
    while (done < size) {
        const ssize_t n = ::write(file->Fd(), static_cast<const char*>(data) + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (written) *written = done;
        if (n < 0) return FailErrno();
        if (n == 0) return Fail(ERROR_DISK_FULL);
        done += DWORD(n);
    }
    if (written) *written = done;
    return TRUE;
}

BOOL FlushFileBuffers(HANDLE handle) {
    auto file = FileOf(handle);
    if (!file) return Fail(ERROR_INVALID_HANDLE);
    return ::fsync(file->Fd()) == 0 ? TRUE : FailErrno();
}
