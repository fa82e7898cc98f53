#include "kernel/client/device_files.h"

#include <algorithm>
#include <cstring>

#include "base/handle.h"
#include "base/last_error.h"
#include "base/ntstatus.h"
#include "base/text.h"
#include "base/win_errors.h"
#include "kernel/client/kernel_connection.h"

namespace kclient {
namespace {

using kwire::MessageType;

// A handle to a file object the kernel host holds for this process.
class KernelFile final : public plat::HandleObject {
public:
    KernelFile(std::shared_ptr<KernelConnection> connection, std::uint32_t id)
        : m_connection(std::move(connection)), m_id(id) {}
    void OnClose() override {
        kwire::Frame reply;
        m_connection->Call(MessageType::Close, kwire::Writer().U32(m_id).Take(), &reply);
    }
    KernelConnection& Connection() { return *m_connection; }
    std::uint32_t Id() const { return m_id; }

private:
    std::shared_ptr<KernelConnection> m_connection;
    std::uint32_t m_id;
};

thread_local bool t_lastFastIo = false;

const std::pair<NTSTATUS, DWORD> kErrors[] = {
    {STATUS_OBJECT_NAME_NOT_FOUND, ERROR_FILE_NOT_FOUND},
    {STATUS_OBJECT_PATH_NOT_FOUND, ERROR_PATH_NOT_FOUND},
    {STATUS_OBJECT_NAME_INVALID, ERROR_INVALID_NAME},
    {STATUS_OBJECT_PATH_SYNTAX_BAD, ERROR_BAD_PATHNAME},
    {STATUS_OBJECT_TYPE_MISMATCH, ERROR_INVALID_HANDLE},
    {STATUS_ACCESS_DENIED, ERROR_ACCESS_DENIED},
    {STATUS_INVALID_HANDLE, ERROR_INVALID_HANDLE},
    {STATUS_INVALID_PARAMETER, ERROR_INVALID_PARAMETER},
    {STATUS_INVALID_DEVICE_REQUEST, ERROR_INVALID_FUNCTION},
    {STATUS_NOT_SUPPORTED, ERROR_NOT_SUPPORTED},
    {STATUS_NOT_IMPLEMENTED, ERROR_INVALID_FUNCTION},
    {STATUS_BUFFER_OVERFLOW, ERROR_MORE_DATA},
    {STATUS_BUFFER_TOO_SMALL, ERROR_INSUFFICIENT_BUFFER},
    {STATUS_INSUFFICIENT_RESOURCES, ERROR_NOT_ENOUGH_MEMORY},
    {STATUS_NO_MEMORY, ERROR_NOT_ENOUGH_MEMORY},
    {STATUS_ALREADY_COMMITTED, ERROR_ACCESS_DENIED},
    {STATUS_SHARING_VIOLATION, ERROR_SHARING_VIOLATION},
    {STATUS_NO_MEDIA_IN_DEVICE, ERROR_NOT_READY},
    {STATUS_DEVICE_NOT_READY, ERROR_NOT_READY},
    {STATUS_UNRECOGNIZED_VOLUME, ERROR_NOT_READY},
    {STATUS_VOLUME_DISMOUNTED, ERROR_NOT_READY},
    {STATUS_DEVICE_BUSY, ERROR_LOCK_VIOLATION},
    {STATUS_NO_SUCH_DEVICE, ERROR_FILE_NOT_FOUND},
    {STATUS_IO_DEVICE_ERROR, ERROR_GEN_FAILURE},
    {STATUS_DEVICE_NOT_CONNECTED, ERROR_DEVICE_NOT_CONNECTED},
};

bool Fail(DWORD error) {
    SetLastError(error);
    return false;
}

// "X:\" or "X:" -> 'X'.
WCHAR DriveLetter(LPCWSTR root) {
    if (!root || !root[0] || root[1] != u':') return 0;
    const WCHAR c = plat::AsciiToUpper(root[0]);
    return (c >= u'A' && c <= u'Z') ? c : 0;
}

struct DriveAnswer {
    NTSTATUS status = STATUS_UNSUCCESSFUL;
    std::uint32_t type = DRIVE_NO_ROOT_DIR;
    std::uint64_t total = 0;
    std::uint64_t free = 0;
    std::string mount_point;
};

bool QueryDrive(LPCWSTR root, DriveAnswer* answer) {
    const WCHAR letter = DriveLetter(root);
    if (!letter) return Fail(ERROR_INVALID_NAME);
    auto connection = KernelConnection::Shared();
    kwire::Frame reply;
    if (!connection || !connection->Call(MessageType::DriveQuery, kwire::Writer().U32(letter).Take(), &reply))
        return Fail(ERROR_NOT_READY);
    kwire::Reader reader(reply.payload);
    std::uint32_t status = 0;
    if (!reader.U32(&status) || !reader.U32(&answer->type) || !reader.U64(&answer->total) || !reader.U64(&answer->free))
        return Fail(ERROR_INVALID_DATA);
    reader.Text8(&answer->mount_point);  // hosts before mount points send none
    answer->status = static_cast<NTSTATUS>(status);
    return true;
}

bool QuerySpace(LPCWSTR root, DriveAnswer* answer) {
    if (!QueryDrive(root, answer)) return false;
    if (answer->type == DRIVE_NO_ROOT_DIR) return Fail(ERROR_PATH_NOT_FOUND);
    if (!NT_SUCCESS(answer->status)) return Fail(Win32ErrorFromStatus(answer->status));
    return true;
}

}  // namespace

DWORD Win32ErrorFromStatus(NTSTATUS status) {
    if (status == STATUS_SUCCESS) return ERROR_SUCCESS;
    for (const auto& [from, to] : kErrors)
        if (from == status) return to;
    return ERROR_GEN_FAILURE;
}

bool LastControlWasFastIo() { return t_lastFastIo; }

bool GetDriveMountPoint(LPCWSTR root, std::string* path) {
    DriveAnswer answer;
    if (!QueryDrive(root, &answer)) return false;
    if (answer.type == DRIVE_NO_ROOT_DIR) return Fail(ERROR_PATH_NOT_FOUND);
    if (answer.mount_point.empty()) return Fail(ERROR_NOT_READY);
    *path = answer.mount_point;
    return true;
}

bool RunMachineCommand(const std::vector<std::string>& words, NTSTATUS* status, std::string* text) {
    auto connection = KernelConnection::Shared();
    if (!connection) return false;
    kwire::Writer writer;
    for (const auto& word : words) writer.Bytes(word.c_str(), word.size() + 1);
    kwire::Frame reply;
    if (!connection->Call(MessageType::Command, writer.Take(), &reply)) return false;
    kwire::Reader reader(reply.payload);
    std::uint32_t value = 0;
    if (!reader.U32(&value)) return false;
    const auto rest = reader.Rest();
    *status = static_cast<NTSTATUS>(value);
    text->assign(rest.begin(), rest.end());
    return true;
}

}  // namespace kclient

using namespace kclient;

HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD, SECURITY_ATTRIBUTES*, DWORD disposition, DWORD, HANDLE) {
    const std::u16string path = name ? std::u16string(name) : std::u16string();
    if (!plat::StartsWithNoCase(path, u"\\\\.\\")) return plat::CreateOrdinaryFile(name, access, disposition);
    if (path.size() <= 4) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    auto connection = KernelConnection::Shared();
    kwire::Frame reply;
    if (!connection || !connection->Call(MessageType::Open,
                                         kwire::Writer().U32(access).Text16(u"\\??\\" + path.substr(4)).Take(),
                                         &reply)) {
        SetLastError(ERROR_FILE_NOT_FOUND);  // no kernel host: no such device
        return INVALID_HANDLE_VALUE;
    }
    kwire::Reader reader(reply.payload);
    std::uint32_t status = 0, id = 0;
    if (!reader.U32(&status) || !reader.U32(&id)) {
        SetLastError(ERROR_INVALID_DATA);
        return INVALID_HANDLE_VALUE;
    }
    if (!NT_SUCCESS(NTSTATUS(status))) {
        SetLastError(Win32ErrorFromStatus(NTSTATUS(status)));
        return INVALID_HANDLE_VALUE;
    }
    return plat::RegisterHandle(std::make_shared<KernelFile>(connection, id));
}

BOOL DeviceIoControl(HANDLE device, DWORD code, LPVOID input, DWORD input_size, LPVOID output, DWORD output_size,
                     DWORD* bytes_returned, OVERLAPPED* overlapped) {
    t_lastFastIo = false;
    if (overlapped) return Fail(ERROR_INVALID_PARAMETER);
    auto file = plat::LookupHandleAs<KernelFile>(device);
    if (!file) return Fail(ERROR_INVALID_HANDLE);
    if ((input_size && !input) || (output_size && !output)) return Fail(ERROR_NOACCESS);
    kwire::Frame reply;
    const auto request =
        kwire::Writer().U32(file->Id()).U32(code).U32(output_size).Bytes(input, input ? input_size : 0).Take();
    if (!file->Connection().Call(kwire::MessageType::Control, request, &reply)) return Fail(ERROR_DEVICE_NOT_CONNECTED);
    kwire::Reader reader(reply.payload);
    std::uint32_t status = 0, information = 0, fast = 0;
    if (!reader.U32(&status) || !reader.U32(&information) || !reader.U32(&fast)) return Fail(ERROR_INVALID_DATA);
    const auto data = reader.Rest();
    const std::size_t copied = std::min<std::size_t>({data.size(), std::size_t(output_size), std::size_t(information)});
    if (copied) std::memcpy(output, data.data(), copied);
    if (bytes_returned) *bytes_returned = DWORD(copied);
    t_lastFastIo = fast != 0;
    if (!NT_SUCCESS(NTSTATUS(status))) return Fail(Win32ErrorFromStatus(NTSTATUS(status)));
    return TRUE;
}

UINT GetDriveTypeW(LPCWSTR root) {
    DriveAnswer answer;
    if (!QueryDrive(root, &answer)) return DRIVE_NO_ROOT_DIR;
    return answer.type;
}

BOOL GetDiskFreeSpaceExW(LPCWSTR directory, ULARGE_INTEGER* caller_free, ULARGE_INTEGER* total,
                         ULARGE_INTEGER* total_free) {
    DriveAnswer answer;
    if (!QuerySpace(directory, &answer)) return FALSE;
    if (caller_free) caller_free->QuadPart = answer.free;
    if (total) total->QuadPart = answer.total;
    if (total_free) total_free->QuadPart = answer.free;
    return TRUE;
}

// Reports the geometry every simulated volume has (512-byte sectors, 8 per
// cluster); cluster counts above 32 bits are capped as Windows caps them.
BOOL GetDiskFreeSpaceW(LPCWSTR root, DWORD* sectors_per_cluster, DWORD* bytes_per_sector, DWORD* free_clusters,
                       DWORD* total_clusters) {
    DriveAnswer answer;
    if (!QuerySpace(root, &answer)) return FALSE;
    constexpr std::uint64_t kCluster = 4096;
    const auto cap = [](std::uint64_t v) { return DWORD(std::min<std::uint64_t>(v, 0xFFFFFFFFu)); };
    if (sectors_per_cluster) *sectors_per_cluster = 8;
    if (bytes_per_sector) *bytes_per_sector = 512;
    if (free_clusters) *free_clusters = cap(answer.free / kCluster);
    if (total_clusters) *total_clusters = cap(answer.total / kCluster);
    return TRUE;
}
