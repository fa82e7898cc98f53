// The file-system registration database: file systems announce their control
// devices, and drivers that asked for notification hear of each arrival and
// departure, and at registration of every file system already active.
#include <algorithm>
#include <mutex>
#include <vector>

#include "kernel/kernel.h"

namespace kern {
namespace {

struct Notification {
    PDRIVER_OBJECT driver;
    PDRIVER_FS_NOTIFICATION routine;
};

struct FsDatabase {
    std::recursive_mutex lock;  // held across notifications, so they never interleave
    std::vector<PDEVICE_OBJECT> file_systems;  // oldest first
    std::vector<Notification> notifications;
};

FsDatabase& Db() {
    static auto* db = new FsDatabase;
    return *db;
}

void NotifyAll(PDEVICE_OBJECT device, BOOLEAN active) {
    const auto routines = Db().notifications;
    for (const auto& n : routines) n.routine(device, active);
}

}  // namespace

std::vector<PDEVICE_OBJECT> RegisteredFileSystems() {
    std::lock_guard lock(Db().lock);
    return Db().file_systems;
}

namespace detail {
void ResetFileSystems() {
    std::lock_guard lock(Db().lock);
    Db().file_systems.clear();
    Db().notifications.clear();
}
}  // namespace detail

}  // namespace kern

extern "C" {

VOID IoRegisterFileSystem(PDEVICE_OBJECT device) {
    kern::RequireIrqlAtMost(APC_LEVEL, "IoRegisterFileSystem");
    auto& db = kern::Db();
    std::lock_guard lock(db.lock);
    if (std::find(db.file_systems.begin(), db.file_systems.end(), device) != db.file_systems.end()) return;
    db.file_systems.push_back(device);
    kern::NotifyAll(device, TRUE);
}

VOID IoUnregisterFileSystem(PDEVICE_OBJECT device) {
    kern::RequireIrqlAtMost(APC_LEVEL, "IoUnregisterFileSystem");
    auto& db = kern::Db();
    std::lock_guard lock(db.lock);
    const auto it = std::find(db.file_systems.begin(), db.file_systems.end(), device);
    if (it == db.file_systems.end()) return;
    db.file_systems.erase(it);
    kern::NotifyAll(device, FALSE);
}

NTSTATUS IoRegisterFsRegistrationChange(PDRIVER_OBJECT driver, PDRIVER_FS_NOTIFICATION routine) {
    kern::RequireIrqlAtMost(APC_LEVEL, "IoRegisterFsRegistrationChange");
    if (!routine) return STATUS_INVALID_PARAMETER;
    auto& db = kern::Db();
    std::lock_guard lock(db.lock);
    db.notifications.push_back({driver, routine});
    const auto active = db.file_systems;
    for (PDEVICE_OBJECT device : active) routine(device, TRUE);
    return STATUS_SUCCESS;
}

VOID IoUnregisterFsRegistrationChange(PDRIVER_OBJECT driver, PDRIVER_FS_NOTIFICATION routine) {
    auto& db = kern::Db();
    std::lock_guard lock(db.lock);
    std::erase_if(db.notifications,
                  [&](const kern::Notification& n) { return n.driver == driver && n.routine == routine; });
}

}  // extern "C"
