// Ordinary files through the Win32 file calls: CreateFileW on a file path
// (the kernel client's CreateFileW hands every path that does not name a
// device here), ReadFile, WriteFile, FlushFileBuffers and CloseHandle.
//
// Paths are Linux paths or their Windows form ("\home\ann\report.txt", as
// the platform reports module paths); drive-letter paths ("C:\...") are not
// files here (ERROR_PATH_NOT_FOUND). Access and sharing follow Windows where
// Linux has the thing: GENERIC_READ / GENERIC_WRITE pick the open mode, the
// five dispositions keep their meaning; sharing modes are not enforced.
// Failures give INVALID_HANDLE_VALUE / FALSE with the Win32 error of the
// errno (ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_FILE_EXISTS,
// ERROR_DISK_FULL, ...). A write that the disk cannot take whole reports
// what it wrote and fails with ERROR_DISK_FULL, so no loss goes unnoticed.
#pragma once

#include "base/wintypes.h"

struct SECURITY_ATTRIBUTES;
struct OVERLAPPED;

constexpr DWORD FILE_SHARE_READ = 0x00000001;
constexpr DWORD FILE_SHARE_WRITE = 0x00000002;
constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x00000080;

namespace plat {

// The ordinary-file half of CreateFileW.
HANDLE CreateOrdinaryFile(LPCWSTR path, DWORD access, DWORD disposition);

}  // namespace plat

// Synchronous only (overlapped must be null).
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD size, DWORD* read, OVERLAPPED* overlapped);
BOOL WriteFile(HANDLE file, LPCVOID data, DWORD size, DWORD* written, OVERLAPPED* overlapped);
BOOL FlushFileBuffers(HANDLE file);
