#include "base/last_error.h"

#include <cerrno>

#include "base/win_errors.h"

namespace {
thread_local DWORD t_lastError = ERROR_SUCCESS;

struct ErrnoMapping {
    int err;
    DWORD win32;
};

constexpr ErrnoMapping kErrnoTable[] = {
    {0, ERROR_SUCCESS},
    {ENOENT, ERROR_FILE_NOT_FOUND},
    {ENOTDIR, ERROR_PATH_NOT_FOUND},
    {EMFILE, ERROR_TOO_MANY_OPEN_FILES},
    {ENFILE, ERROR_TOO_MANY_OPEN_FILES},
    {EACCES, ERROR_ACCESS_DENIED},
    {EPERM, ERROR_ACCESS_DENIED},
    {EROFS, ERROR_ACCESS_DENIED},
    {EBADF, ERROR_INVALID_HANDLE},
    {ENOMEM, ERROR_NOT_ENOUGH_MEMORY},
    {EINVAL, ERROR_INVALID_PARAMETER},
    {EEXIST, ERROR_ALREADY_EXISTS},
    {ENOSPC, ERROR_DISK_FULL},
    {EFBIG, ERROR_FILE_TOO_LARGE},
    {EISDIR, ERROR_ACCESS_DENIED},
    {EIO, ERROR_GEN_FAILURE},
    {ENXIO, ERROR_DEVICE_NOT_CONNECTED},
    {ENODEV, ERROR_DEVICE_NOT_CONNECTED},
    {EBUSY, ERROR_SHARING_VIOLATION},
    {ENAMETOOLONG, ERROR_FILENAME_EXCED_RANGE},
    {ETIMEDOUT, ERROR_TIMEOUT},
    {EPIPE, ERROR_BROKEN_PIPE},
    {ENOTSUP, ERROR_NOT_SUPPORTED},
    {ENOSYS, ERROR_CALL_NOT_IMPLEMENTED},
};
}  // namespace

DWORD GetLastError() { return t_lastError; }

void SetLastError(DWORD error) { t_lastError = error; }

DWORD Win32ErrorFromErrno(int err) {
    for (const auto& m : kErrnoTable) {
        if (m.err == err) return m.win32;
    }
    return ERROR_GEN_FAILURE;
}
