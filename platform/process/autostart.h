// "Start with Windows" on Linux: the values of the HKEY_CURRENT_USER key
// "Software\Microsoft\Windows\CurrentVersion\Run" are mirrored to XDG
// autostart entries, so that the programs they name start at log-in.
//
// Each REG_SZ value NAME becomes "zelmor-lumetra-NAME.desktop" whose Exec is
// the value's command line (a Windows-form path "\usr\bin\lumex" is turned
// back into "/usr/bin/lumex"); entries of that prefix whose value is gone are
// removed, and files of other programs are never touched. The entries live in
// $XDG_CONFIG_HOME/autostart (~/.config/autostart), or in
// $LUMETRA_ROOT/autostart when LUMETRA_ROOT is set.
//
// The registry has no change notifications, so the mirror is made by a call:
// the programs that write the Run key call MirrorAutostart afterwards (the
// GUI does it when it stores its settings).
#pragma once

#include <string>

namespace plat::process {

std::string AutostartDirectory();

// Makes the autostart entries match the Run key; false when the directory
// cannot be written (nothing is half-changed for an entry: each file is
// written whole and renamed into place).
bool MirrorAutostart();

}  // namespace plat::process
