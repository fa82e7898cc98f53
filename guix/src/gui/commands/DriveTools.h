// The programs a double-click on the LED window starts: the disk utility or
// the network settings from a row box, the file manager from a letter. The
// command lines are the Windows tools' own; the platform's process piece
// maps them to what the desktop has (and starts nothing where it has none).
#pragma once

#include <optional>
#include <string>

#include "base/hresult.h"
#include "base/wintypes.h"

namespace cmd {

struct ProgramCall {
    std::u16string program;
    std::u16string arguments;  // empty: none
    bool operator==(const ProgramCall&) const = default;
};

// What a double-click on a row box does.
struct RowBoxAction {
    enum Kind { Nothing, Start, Eject } kind = Nothing;
    ProgramCall call;  // for Start
    bool operator==(const RowBoxAction&) const = default;
};

// The facts of the machine the disk-utility choice depends on.
struct SystemFacts {
    std::u16string systemPath;  // the system directory followed by "\"
    DWORD majorVersion = 0;
};

// This machine as the platform reports it: the system directory followed
// by "\\" (GetSystemDirectoryW) and the major version (GetVersionExW).
SystemFacts ThisSystem();

// A row with a S.M.A.R.T. device of type 7 or 36 starts the disk utility
// ("windisk.exe" before major version 5, else "mmc.exe ...diskmgmt.msc"),
// of another type nothing. Without a device the row's first record decides:
// type 18 the network connections applet, types 1 and 2 ejecting the first
// letter's medium, type 7 the disk utility, any other nothing.
RowBoxAction ChooseRowBoxAction(std::optional<DWORD> smart_device_type, std::optional<DWORD> first_record_type,
                                const SystemFacts& system);

// A real letter (below '[') opens the file manager on it; the network
// catch-all (0x60 with type 18) opens the network places. Nothing otherwise.
std::optional<ProgramCall> FileManagerCall(WCHAR letter, DWORD device_type);

// The command line: the program, then a space and the arguments when there
// are any.
std::u16string CommandLineOf(const ProgramCall& call);

// Starts the program without inherited handles and closes both handles at
// once. E_POINTER for an empty program name, E_FAIL when it cannot be
// started (also written to the GUI's log, so a tool the desktop lacks is
// visible there).
HRESULT StartProgram(const ProgramCall& call);

}  // namespace cmd
