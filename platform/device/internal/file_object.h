// The handle objects of the native device interface: an open device file
// (waitable: signalled while none of its requests is pending) and an open
// symbolic link. Requests a device answers as pending are completed by one
// process-wide completion thread when their time on the platform clock has
// come.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/nt_types.h"
#include "base/sync.h"
#include "device/backend.h"

namespace plat::device::detail {

class FileObject final : public WaitableObject, public std::enable_shared_from_this<FileObject> {
public:
    FileObject(std::shared_ptr<DeviceFile> file, bool can_read, bool can_write)
        : m_file(std::move(file)), m_canRead(can_read), m_canWrite(can_write) {}

    // Carries out one control request for NtDeviceIoControlFile.
    NTSTATUS Control(HANDLE event, IO_STATUS_BLOCK* io_status, ULONG code, const void* in, ULONG in_length, void* out,
                     ULONG out_length);
    FILE_FS_DEVICE_INFORMATION DeviceInformation() const { return m_file->DeviceInformation(); }

    bool IsSignaledLocked() const override { return m_pending == 0; }
    // Completes the requests still pending before the handle goes away.
    void OnClose() override;

    // Called by the completion thread (and by OnClose) once the request's
    // results are stored; wakes the threads waiting on the file. Lock order:
    // completion queue lock, then the file's state lock.
    void FinishPending() {
        Wakeups wakeups;
        std::lock_guard lock(StateMutex());
        --m_pending;
        WakeWaitersLocked(wakeups);
    }

private:
    std::shared_ptr<DeviceFile> m_file;
    const bool m_canRead;
    const bool m_canWrite;
    std::mutex m_requestMutex;  // one request at a time per handle
    int m_pending = 0;          // guarded by StateMutex()
};

class LinkObject final : public HandleObject {
public:
    explicit LinkObject(std::u16string target) : m_target(std::move(target)) {}
    const std::u16string& Target() const { return m_target; }

private:
    const std::u16string m_target;
};

}  // namespace plat::device::detail
