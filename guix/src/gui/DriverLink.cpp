#include "DriverLink.h"

#include <vector>

#include "GuiLog.h"
#include "base/handle.h"
#include "base/hresult.h"
#include "kernel/client/device_files.h"

CDriverLink::~CDriverLink() {
    Close();
    if (m_hChangeEvent) CloseHandle(m_hChangeEvent);
}

bool CDriverLink::IsOpen() const {
    std::lock_guard lock(m_handleLock);
    return m_hDevice != INVALID_HANDLE_VALUE;
}

bool CDriverLink::Control(DWORD code, const void* input, DWORD input_size, void* output, DWORD output_size,
                          DWORD* returned) {
    std::lock_guard lock(m_handleLock);
    *returned = 0;
    if (m_hDevice == INVALID_HANDLE_VALUE) return false;
    return DeviceIoControl(m_hDevice, code, const_cast<void*>(input), input_size, output, output_size, returned,
                           nullptr) != FALSE;
}

void CDriverLink::CloseDeviceLocked() {
    if (m_hDevice == INVALID_HANDLE_VALUE) return;
    CloseHandle(m_hDevice);
    m_hDevice = INVALID_HANDLE_VALUE;
}

void CDriverLink::ClearRegistration() {
    const DWORD none = 0;
    DWORD returned = 0;
    Control(IOCTL_LED_SET_CHANGE_EVENT, &none, sizeof none, nullptr, 0, &returned);
}

void CDriverLink::Close() {
    ClearRegistration();
    std::lock_guard lock(m_handleLock);
    CloseDeviceLocked();
}

HRESULT CDriverLink::PrepareDriver() {
    gui::Trace("CGDLG::PREPD: ->");
    HANDLE device = CreateFileW(blinkor::kControlDevicePath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    gui::Trace("CGDLG::PREPD: GetDeviceHandle() returned 0x%x", reinterpret_cast<std::uintptr_t>(device));
    HRESULT result = 1;
    if (device != INVALID_HANDLE_VALUE) {
        {
            std::lock_guard lock(m_handleLock);
            CloseDeviceLocked();
            m_hDevice = device;
        }
        gui::Trace("CGDLG::PREPD: PrepareEvents()");
        const HRESULT events = PrepareEvents();
        gui::Trace("CGDLG::PREPREPD: PrepareEvents() returned b=%d", events);
        result = events != S_OK ? E_FAIL : GetLocalDrives();
    }
    gui::Trace("CGDLG::PREPD: <- %d", result);
    return result;
}

HRESULT CDriverLink::PrepareEvents() {
    DWORD version = 0;
    DWORD returned = 0;
    if (!Control(IOCTL_LED_GET_VERSION, nullptr, 0, &version, sizeof version, &returned) ||
        returned != sizeof version || version != blinkor::kInterfaceVersion) {
        gui::Trace("CGDLG::PrepareEvents:Driver Version incorrect!\r\n <- %d", E_FAIL);
        std::lock_guard lock(m_handleLock);
        CloseDeviceLocked();
        return E_FAIL;
    }
    if (!m_hChangeEvent) m_hChangeEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!m_hChangeEvent) {
        gui::Trace("CGDLG::PrepareEvents:Create Event failed!\r\n <- %d", E_FAIL);
        std::lock_guard lock(m_handleLock);
        CloseDeviceLocked();
        return E_FAIL;
    }
    const auto handle = static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(m_hChangeEvent));
    if (!Control(IOCTL_LED_SET_CHANGE_EVENT, &handle, sizeof handle, nullptr, 0, &returned)) {
        gui::Trace("CGDLG::PrepareEvents:Set Device Event failed!\r\n <- %d", E_FAIL);
        Close();
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CDriverLink::GetLocalDrives() {
    EnterCriticalSection(&m_drawingLock);
    m_groups.Clear();
    std::vector<BYTE> list(kDriveListBytes);
    DWORD returned = 0;
    HRESULT result = S_OK;
    if (!Control(IOCTL_LED_GET_DRIVES, nullptr, 0, list.data(), kDriveListBytes, &returned)) {
        std::lock_guard lock(m_handleLock);
        CloseDeviceLocked();
        result = E_FAIL;
    } else {
        gui::Trace("CGDLG::GetLocalDrives:Start Devices\r\n");
        SortIn(list.data(), returned);
    }
    LeaveCriticalSection(&m_drawingLock);
    return result;
}

// Takes the records one by one while a whole record header remains; the
// first record of a letter bit wins. A record whose name runs past the data
// ends the list (the driver never sends one; the rest cannot be trusted).
void CDriverLink::SortIn(const BYTE* list, DWORD length) {
    DWORD seen = 0;
    blinkor::ForEachDriveRecord(list, length, [&](const DRIVE_RECORD& record, const BYTE* name) {
        DriveEntry entry{record, std::vector<BYTE>(name, name + record.NameLength)};
        gui::Trace("CGDLG::GetLocalDrives:  %c: %08lX %d %d (%08lX) ", record.Letter, record.DeviceType,
                   record.DeviceNumber, record.PartitionNumber, record.SerialNumber);
        const std::u16string label = entry.Label();
        if (!label.empty()) gui::Trace("CGDLG::GetLocalDrives: %s", label);
        if (record.NameLength > 0)
            gui::Trace("CGDLG::GetLocalDrives: (%.*s)\r\n", int(record.NameLength / 2), entry.Name());
        const DWORD bit = blinkor::LetterBit(record.Letter);
        if (seen & bit) return;
        seen |= bit;
        const int group = ClassifyDriveRecord(entry.record);
        if (group >= 0) m_groups.Place(group, std::move(entry));
    });
}

bool CDriverLink::Poll() {
    ACTIVITY_MASKS masks{};
    DWORD returned = 0;
    if (!Control(IOCTL_LED_GET_ACTIVITY, nullptr, 0, &masks, sizeof masks, &returned) || returned != sizeof masks) {
        Close();
        return false;
    }
    m_readMask.store(masks.ReadMask, std::memory_order_relaxed);
    m_writeMask.store(masks.WriteMask, std::memory_order_relaxed);
    return true;
}
