#include "commands/MediaEject.h"

#include "GuiLog.h"
#include "base/clock.h"
#include "base/format.h"
#include "base/last_error.h"
#include "base/nt_types.h"
#include "base/text.h"
#include "kernel/client/device_files.h"

namespace cmd {
namespace {

// The control codes as winioctl.h publishes them.
constexpr DWORD kLockVolume = 0x90018;         // FSCTL_LOCK_VOLUME
constexpr DWORD kDismountVolume = 0x90020;     // FSCTL_DISMOUNT_VOLUME
constexpr DWORD kMediaRemoval = 0x2D4804;      // IOCTL_STORAGE_MEDIA_REMOVAL
constexpr DWORD kEjectMedia = 0x2D4808;        // IOCTL_STORAGE_EJECT_MEDIA

bool Control(HANDLE volume, DWORD code, void* input = nullptr, DWORD input_size = 0) {
    DWORD returned = 0;
    return DeviceIoControl(volume, code, input, input_size, nullptr, 0, &returned, nullptr) != FALSE;
}

bool LockVolume(HANDLE volume) {
    for (int attempt = 0; attempt < kEjectLockAttempts; ++attempt) {
        if (attempt > 0) Sleep(kEjectLockPauseMs);
        if (Control(volume, kLockVolume)) return true;
    }
    return false;
}

bool AllowRemoval(HANDLE volume) {
    BYTE prevent = 0;  // PREVENT_MEDIA_REMOVAL.PreventMediaRemoval
    return Control(volume, kMediaRemoval, &prevent, sizeof prevent);
}

EjectOutcome LockDismountEject(HANDLE volume) {
    if (!LockVolume(volume)) return EjectOutcome::NotLocked;
    if (!Control(volume, kDismountVolume)) return EjectOutcome::NotDismounted;
    if (AllowRemoval(volume) && Control(volume, kEjectMedia)) return EjectOutcome::Ejected;
    return EjectOutcome::SafeToRemove;
}

}  // namespace

EjectOutcome EjectMedia(WCHAR letter, std::ostream& out) {
    const std::u16string root = std::u16string(1, letter) + u":\\";
    const UINT type = GetDriveTypeW(root.c_str());
    if (type != DRIVE_REMOVABLE && type != DRIVE_CDROM) {
        out << "Cannot eject.  Drive type is incorrect.\n";
        return EjectOutcome::WrongDriveType;
    }
    const std::u16string path = u"\\\\.\\" + std::u16string(1, letter) + u":";
    const DWORD access = type == DRIVE_REMOVABLE ? (GENERIC_READ | GENERIC_WRITE) : GENERIC_READ;
    HANDLE volume = CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    if (volume == INVALID_HANDLE_VALUE) {
        gui::Trace(u"USER: CCDDVDHandler() ERROR: %d MSG: %s\n", GetLastError(), u"CreateFile");
        return EjectOutcome::OpenFailed;
    }
    const EjectOutcome outcome = LockDismountEject(volume);
    CloseHandle(volume);
    const std::string drive = plat::Utf16ToUtf8(std::u16string(1, letter));
    if (outcome == EjectOutcome::Ejected) out << "Media in Drive " << drive << " has been ejected safely.\n";
    if (outcome == EjectOutcome::SafeToRemove) out << "Media in Drive " << drive << " can be safely removed.\n";
    out.flush();
    return outcome;
}

}  // namespace cmd
