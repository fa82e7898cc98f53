// Where the platform layer keeps its state. One variable, LUMETRA_ROOT,
// moves everything under one directory so tests and demos stay isolated:
//   LUMETRA_ROOT set:  machine store $LUMETRA_ROOT/hklm, user store
//                      $LUMETRA_ROOT/hkcu, runtime sockets $LUMETRA_ROOT/run;
//   otherwise:         machine store /var/lib/zelmor-lumetra, user store
//                      $XDG_CONFIG_HOME/zelmor-lumetra (~/.config/...),
//                      runtime /run/zelmor-lumetra for root, else
//                      $XDG_RUNTIME_DIR/zelmor-lumetra, else
//                      /tmp/zelmor-lumetra-<uid>.
// The variables are read at every call, so a test may change them between
// calls. Nothing here creates directories.
#pragma once

#include <string>

namespace plat {

// LUMETRA_ROOT, or empty when unset or empty.
std::string StateRoot();

std::string MachineStoreDirectory();
std::string UserStoreDirectory();
std::string RuntimeDirectory();

// The id of the running boot: LUMETRA_BOOT_ID when set and not empty, else
// /proc/sys/kernel/random/boot_id (read once per process). Empty only when
// neither is available; volatile registry keys are tied to it.
std::string BootId();

}  // namespace plat
