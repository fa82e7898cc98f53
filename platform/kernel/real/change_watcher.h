// Notices at once when the machine's volumes may have changed, without
// periodic rescans: the mount table's change notification (poll of
// /proc/self/mountinfo for POLLPRI), the kernel's block device events (the
// uevent netlink socket: plugging, removal, media changes) and the device
// database's updates (inotify on /run/udev/data, where label changes show).
// Each burst of notifications leads to one call of `changed`, on the
// watcher's own thread.
#pragma once

#include <functional>
#include <thread>

#include "kernel/real/system_files.h"

namespace kern::real {

class ChangeWatcher {
public:
    ChangeWatcher(const SystemFiles& files, std::function<void()> changed);
    ~ChangeWatcher();
    void Start();
    void Stop();

private:
    void Loop();
    bool DrainMountTable();

    std::function<void()> m_changed;
    int m_mountsFd = -1, m_ueventFd = -1, m_inotifyFd = -1, m_stopFd = -1;
    std::thread m_thread;
};

}  // namespace kern::real
