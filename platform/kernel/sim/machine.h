// The simulated machine: builds a scenario (storage devices, links, file
// systems, driver modules, mounts) on a fresh kernel and then drives it at
// run time through the I/O manager, so the drivers loaded above see every
// operation as requests: mounts, dismounts, label changes, file I/O (held,
// failed or immediate), fast I/O, network creates, file-system
// (un)registration, removal, volume deletion and media ejection. It also
// answers what user-mode programs ask of a drive letter.
//
// Thread rule: Build runs once before any other call; Execute and QueryDrive
// may be called from several threads (the host serves clients in parallel)
// and are serialised by the machine's lock. Requests held by the machine are
// completed by later commands, never by the thread that started them.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "kernel/hosted_machine.h"
#include "kernel/sim/scenario.h"

namespace kern::sim {

using kern::CommandResult;
using kern::DriveInfo;

class Machine final : public HostedMachine {
public:
    Machine();
    ~Machine() override;

    // Resets the kernel and builds `spec`. Module paths that are not absolute
    // are looked up in `driver_directory`.
    NTSTATUS Build(const MachineSpec& spec, const std::string& driver_directory, std::string* error);

    // Runs one command ("mount C:", "hold C: read 2", ...); see Help().
    CommandResult Execute(const std::vector<std::string>& args) override;
    static std::string Help();

    DriveInfo QueryDrive(WCHAR letter) override;

    FileSystem* FindFileSystem(std::u16string_view name);
    StorageDevice* StorageOfLetter(WCHAR letter);
    // The request engine behind a letter: its volume's, or the redirector's
    // for a network letter. Null when the letter has none.
    Volume* FilesOfLetter(WCHAR letter);

private:
    struct HeldFiles;
    CommandResult Run(const std::vector<std::string>& args);
    CommandResult FileCommand(const std::string& verb, WCHAR letter, const std::vector<std::string>& rest);
    CommandResult Hold(WCHAR letter, const std::vector<std::string>& rest);
    CommandResult CompleteHeld(WCHAR letter, const std::vector<std::string>& rest);
    CommandResult FastIoCommand(WCHAR letter, const std::vector<std::string>& rest);
    CommandResult VolumeControl(WCHAR letter, const std::vector<ULONG>& codes);
    CommandResult Label(WCHAR letter, const std::string& label);
    CommandResult NetworkCreate(const std::string& name);
    CommandResult FileSystemCommand(const std::string& verb, const std::string& name);
    CommandResult Drives();
    bool IsNetworkTarget(const std::u16string& target, FileSystem** redirector);

    std::recursive_mutex m_lock;  // serialises commands and drive queries
    std::vector<std::unique_ptr<StorageDevice>> m_storage;
    std::vector<std::unique_ptr<FileSystem>> m_fileSystems;
    PDRIVER_OBJECT m_storageDriver = nullptr;
    std::multimap<WCHAR, PFILE_OBJECT> m_heldFiles;  // files with requests held, by letter
};

// The commands every machine answers alike: "namespace" and "pool". False
// for any other verb.
bool RunListingCommand(const std::string& verb, CommandResult* result);

// Parses "0xC0000185" or a name such as "STATUS_IO_DEVICE_ERROR".
bool ParseStatus(const std::string& text, NTSTATUS* status);
std::string StatusText(NTSTATUS status);

}  // namespace kern::sim
