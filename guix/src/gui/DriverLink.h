// The LED window's link to the activity driver: its control device
// "\\.\Blinkor" (reached through the kernel host), the interface version
// check, the change event registered with the driver, the drive list sorted
// into the window's groups, and the activity masks of the last poll.
//
//   PrepareDriver   0, 1 (no control device) or E_FAIL
//   PrepareEvents   0 or E_FAIL (version 0x12345678, change event registered)
//   GetLocalDrives  0 or E_FAIL (the list read again into the groups)
//   Poll            one activity request; a failure closes the link
//
// Any failure closes the link: the registration is cleared where the driver
// may still hold it and the device handle is closed. The change event
// itself stays open until the link is destroyed, because the change-watch
// thread may be waiting on it; closing it under that thread would leave the
// thread waiting for ever and the window's destruction with it.
//
// Threads: PrepareDriver and GetLocalDrives on the GUI thread, Poll on the
// polling thread, the masks from any thread. Lock order: the window's
// drawing lock (GetLocalDrives takes it), then the handle lock, which guards
// the device handle across each request.
#pragma once

#include <atomic>
#include <mutex>

#include "DriveGroups.h"
#include "base/sync.h"
#include "base/wintypes.h"

class CDriverLink {
public:
    static constexpr DWORD kDriveListBytes = 10240;

    // `drawing_lock` is the window's; GetLocalDrives holds it while it
    // rebuilds the groups.
    explicit CDriverLink(CRITICAL_SECTION& drawing_lock) : m_drawingLock(drawing_lock) {}
    ~CDriverLink();
    CDriverLink(const CDriverLink&) = delete;
    CDriverLink& operator=(const CDriverLink&) = delete;

    HRESULT PrepareDriver();
    HRESULT PrepareEvents();
    HRESULT GetLocalDrives();
    // Reads the masks (read mask stored first); false after a failed or
    // short answer, which has closed the link.
    bool Poll();
    // Clears the registration and closes the device handle (the window's
    // destruction); the change event stays for the threads.
    void Close();

    bool IsOpen() const;
    HANDLE ChangeEvent() const { return m_hChangeEvent; }
    DWORD ReadMask() const { return m_readMask.load(std::memory_order_relaxed); }
    DWORD WriteMask() const { return m_writeMask.load(std::memory_order_relaxed); }
    bool IsReading(WCHAR letter) const { return ReadMask() & blinkor::LetterBit(letter); }
    bool IsWriting(WCHAR letter) const { return WriteMask() & blinkor::LetterBit(letter); }

    DriveGroups& Groups() { return m_groups; }
    const DriveGroups& Groups() const { return m_groups; }

private:
    // One control request on the device; false without a device.
    bool Control(DWORD code, const void* input, DWORD input_size, void* output, DWORD output_size,
                 DWORD* returned);
    void ClearRegistration();
    // Closes the device handle (handle lock held by the caller).
    void CloseDeviceLocked();
    void SortIn(const BYTE* list, DWORD length);

    CRITICAL_SECTION& m_drawingLock;
    mutable std::mutex m_handleLock;  // guards m_hDevice
    HANDLE m_hDevice = INVALID_HANDLE_VALUE;
    HANDLE m_hChangeEvent = nullptr;
    std::atomic<DWORD> m_readMask{0};
    std::atomic<DWORD> m_writeMask{0};
    DriveGroups m_groups;
};
