#include "kernel/sim/machine.h"

#include <cstdlib>

#include "base/format.h"
#include "base/text.h"
#include "kernel/io_requests.h"

namespace kern::sim {
namespace {

const std::pair<const char*, NTSTATUS> kStatusNames[] = {
    {"STATUS_SUCCESS", STATUS_SUCCESS},
    {"STATUS_PENDING", STATUS_PENDING},
    {"STATUS_BUFFER_OVERFLOW", STATUS_BUFFER_OVERFLOW},
    {"STATUS_UNSUCCESSFUL", STATUS_UNSUCCESSFUL},
    {"STATUS_INVALID_PARAMETER", STATUS_INVALID_PARAMETER},
    {"STATUS_INVALID_DEVICE_REQUEST", STATUS_INVALID_DEVICE_REQUEST},
    {"STATUS_END_OF_FILE", STATUS_END_OF_FILE},
    {"STATUS_NO_MEDIA_IN_DEVICE", STATUS_NO_MEDIA_IN_DEVICE},
    {"STATUS_ACCESS_DENIED", STATUS_ACCESS_DENIED},
    {"STATUS_OBJECT_NAME_NOT_FOUND", STATUS_OBJECT_NAME_NOT_FOUND},
    {"STATUS_OBJECT_PATH_NOT_FOUND", STATUS_OBJECT_PATH_NOT_FOUND},
    {"STATUS_INSUFFICIENT_RESOURCES", STATUS_INSUFFICIENT_RESOURCES},
    {"STATUS_DEVICE_NOT_READY", STATUS_DEVICE_NOT_READY},
    {"STATUS_DEVICE_BUSY", STATUS_DEVICE_BUSY},
    {"STATUS_NOT_SUPPORTED", STATUS_NOT_SUPPORTED},
    {"STATUS_CANCELLED", STATUS_CANCELLED},
    {"STATUS_IO_DEVICE_ERROR", STATUS_IO_DEVICE_ERROR},
    {"STATUS_UNRECOGNIZED_VOLUME", STATUS_UNRECOGNIZED_VOLUME},
    {"STATUS_VOLUME_DISMOUNTED", STATUS_VOLUME_DISMOUNTED},
    {"STATUS_ALREADY_COMMITTED", STATUS_ALREADY_COMMITTED},
    {"STATUS_NO_SUCH_DEVICE", STATUS_NO_SUCH_DEVICE},
};

CommandResult Fail(NTSTATUS status, const std::string& text) { return {status, text}; }
CommandResult Usage(const std::string& text) { return {STATUS_INVALID_PARAMETER, "usage: " + text}; }

// "C:" or "c" -> 'C'; 0 when not a letter.
WCHAR ParseLetter(const std::string& text) {
    if (text.empty() || text.size() > 2 || (text.size() == 2 && text[1] != ':')) return 0;
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    return (c >= 'A' && c <= 'Z') ? WCHAR(c) : 0;
}

std::u16string DosName(WCHAR letter) { return std::u16string(u"\\??\\") + letter + u":"; }

struct RequestVerb {
    const char* name;
    UCHAR major;
    ULONG info_class;
};

const RequestVerb kVerbs[] = {
    {"read", IRP_MJ_READ, 0},
    {"write", IRP_MJ_WRITE, 0},
    {"query", IRP_MJ_QUERY_INFORMATION, FileBasicInformation},
    {"set", IRP_MJ_SET_INFORMATION, FileEndOfFileInformation},
    {"flush", IRP_MJ_FLUSH_BUFFERS, 0},
    {"queryea", IRP_MJ_QUERY_EA, 0},
    {"setea", IRP_MJ_SET_EA, 0},
    {"queryvolume", IRP_MJ_QUERY_VOLUME_INFORMATION, FileFsFullSizeInformation},
    {"querysecurity", IRP_MJ_QUERY_SECURITY, 0},
    {"setsecurity", IRP_MJ_SET_SECURITY, 0},
    {"directory", IRP_MJ_DIRECTORY_CONTROL, 0},
};

const RequestVerb* FindVerb(const std::string& name) {
    for (const auto& verb : kVerbs)
        if (name == verb.name) return &verb;
    return nullptr;
}

constexpr ULONG kRequestLength = 512;

}  // namespace

bool RunListingCommand(const std::string& verb, CommandResult* result) {
    if (verb == "namespace") {
        std::string text;
        for (const auto& line : DumpNamespace()) text += line + "\n";
        *result = {STATUS_SUCCESS, text};
        return true;
    }
    if (verb == "pool") {
        const std::string report = PoolLeakReport();
        *result = {STATUS_SUCCESS, report.empty() ? "no pool in use\n" : report};
        return true;
    }
    return false;
}

bool ParseStatus(const std::string& text, NTSTATUS* status) {
    for (const auto& [name, value] : kStatusNames)
        if (plat::EqualsNoCase(text, name)) return *status = value, true;
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 0);
    if (text.empty() || *end != 0 || value > 0xFFFFFFFFul) return false;
    *status = static_cast<NTSTATUS>(static_cast<ULONG>(value));
    return true;
}

std::string StatusText(NTSTATUS status) {
    for (const auto& [name, value] : kStatusNames)
        if (value == status) return plat::Format("0x%08lX %s", static_cast<unsigned long>(ULONG(status)), name);
    return plat::Format("0x%08lX", static_cast<unsigned long>(ULONG(status)));
}

Machine::Machine() = default;

Machine::~Machine() {
    // Requests still held go back up the stack as cancelled, so the filters
    // above see them end and their packets are freed.
    for (const auto& fs : m_fileSystems) fs->CancelHeld();
    for (auto& [letter, file] : m_heldFiles) ObfDereferenceObject(file);
}

NTSTATUS Machine::Build(const MachineSpec& spec, const std::string& driver_directory, std::string* error) {
    std::lock_guard lock(m_lock);
    ResetKernel(spec.settings);
    const auto fail = [&](NTSTATUS status, const std::string& what) {
        if (error) *error = what + ": " + StatusText(status);
        return status;
    };
    NTSTATUS status = CreateSimDriver(u"\\Driver\\Disk", &m_storageDriver);
    if (!NT_SUCCESS(status)) return fail(status, "storage driver");
    for (const auto& s : spec.storage) {
        auto device = std::make_unique<StorageDevice>(s);
        status = device->Create(m_storageDriver);
        if (!NT_SUCCESS(status)) return fail(status, "storage " + plat::Utf16ToUtf8(s.name));
        m_storage.push_back(std::move(device));
    }
    for (const auto& [name, target] : spec.links) {
        CreateDirectoryPath(name.substr(0, name.rfind(u'\\')));
        std::u16string n = name, t = target;
        UNICODE_STRING link{USHORT(n.size() * 2), USHORT(n.size() * 2), n.data()};
        UNICODE_STRING to{USHORT(t.size() * 2), USHORT(t.size() * 2), t.data()};
        status = IoCreateSymbolicLink(&link, &to);
        if (!NT_SUCCESS(status)) return fail(status, "link " + plat::Utf16ToUtf8(name));
    }
    for (const auto& fs_spec : spec.file_systems) {
        auto fs = std::make_unique<FileSystem>(fs_spec);
        status = fs->Create();
        if (!NT_SUCCESS(status)) return fail(status, "file system " + plat::Utf16ToUtf8(fs_spec.name));
        if (fs_spec.registered) fs->Register();
        m_fileSystems.push_back(std::move(fs));
    }
    for (const auto& module : spec.modules) {
        const std::string path = module.path.starts_with('/') ? module.path : driver_directory + "/" + module.path;
        PDRIVER_OBJECT driver = nullptr;
        std::string why;
        status = LoadDriverModule(path, module.name, &driver, &why);
        if (!NT_SUCCESS(status)) return fail(status, "module " + path + " (" + why + ")");
    }
    for (const auto& storage : m_storage) {
        if (!storage->Spec().volume || !storage->Spec().volume->mounted) continue;
        status = MountVolume(storage->Device());
        if (!NT_SUCCESS(status)) return fail(status, "mount of " + plat::Utf16ToUtf8(storage->Spec().name));
    }
    return STATUS_SUCCESS;
}

FileSystem* Machine::FindFileSystem(std::u16string_view name) {
    for (auto& fs : m_fileSystems)
        if (plat::EqualsNoCase(fs->Spec().name, name)) return fs.get();
    return nullptr;
}

StorageDevice* Machine::StorageOfLetter(WCHAR letter) {
    const std::u16string end = ResolveLinkChain(DosName(letter));
    for (auto& storage : m_storage)
        if (plat::EqualsNoCase(storage->Spec().name, end)) return storage.get();
    return nullptr;
}

bool Machine::IsNetworkTarget(const std::u16string& target, FileSystem** redirector) {
    for (auto& fs : m_fileSystems) {
        if (!fs->IsNetwork()) continue;
        const std::u16string& device = fs->Spec().device_name;
        if (plat::StartsWithNoCase(target, device) && (target.size() == device.size() || target[device.size()] == u'\\')) {
            *redirector = fs.get();
            return true;
        }
    }
    return false;
}

Volume* Machine::FilesOfLetter(WCHAR letter) {
    FileSystem* redirector = nullptr;
    if (IsNetworkTarget(ResolveLinkChain(DosName(letter)), &redirector)) return redirector->NetworkFiles();
    StorageDevice* storage = StorageOfLetter(letter);
    if (!storage || !storage->Spec().volume) return nullptr;
    FileSystem* fs = FindFileSystem(storage->Spec().volume->file_system);
    return fs ? fs->VolumeOf(storage->Device()) : nullptr;
}

CommandResult Machine::Execute(const std::vector<std::string>& args) {
    std::lock_guard lock(m_lock);
    if (args.empty()) return Usage("a command; try \"help\"");
    return Run(args);
}

std::string Machine::Help() {
    return "mount X: | dismount X: | remount X: | label X: TEXT | delete X: | eject X: | insert X:\n"
           "failattach X: N   (attaches onto the volume of the next new mount fail N times)\n"
           "read|write|query|set|flush|queryea|setea|queryvolume|querysecurity|setsecurity|directory X: [PATH]\n"
           "hold X: read|write N | fail X: read|write N STATUS | complete X: [read|write|all] [STATUS] [passive]\n"
           "fastio X: read|write|basic|standard|netopen [PATH]\n"
           "netcreate NAME   (e.g. \\;Z:0000000000003e7\\server\\share\\file)\n"
           "register FS | unregister FS | remove FS | load FS | fastiostats FS\n"
           "drives | namespace | pool\n";
}

CommandResult Machine::Run(const std::vector<std::string>& args) {
    const std::string& verb = args[0];
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (verb == "help") return {STATUS_SUCCESS, Help()};
    if (verb == "drives") return Drives();
    if (CommandResult listing; RunListingCommand(verb, &listing)) return listing;
    if (verb == "netcreate") return rest.size() == 1 ? NetworkCreate(rest[0]) : Usage("netcreate NAME");
    if (verb == "register" || verb == "unregister" || verb == "remove" || verb == "load" || verb == "fastiostats")
        return rest.size() == 1 ? FileSystemCommand(verb, rest[0]) : Usage(verb + " FS");
    const WCHAR letter = rest.empty() ? 0 : ParseLetter(rest[0]);
    if (!letter) return Usage(verb + " X: ...");
    const std::vector<std::string> tail(rest.begin() + 1, rest.end());
    if (verb == "mount" || verb == "remount") {
        StorageDevice* storage = StorageOfLetter(letter);
        if (!storage) return Fail(STATUS_NO_SUCH_DEVICE, "no storage device behind that letter");
        const NTSTATUS status = MountVolume(storage->Device());
        return {status, StatusText(status) + "\n"};
    }
    if (verb == "dismount") return VolumeControl(letter, {FSCTL_DISMOUNT_VOLUME});
    if (verb == "eject")
        return VolumeControl(letter, {FSCTL_LOCK_VOLUME, FSCTL_DISMOUNT_VOLUME, IOCTL_STORAGE_MEDIA_REMOVAL,
                                      IOCTL_STORAGE_EJECT_MEDIA});
    if (verb == "insert") {
        StorageDevice* storage = StorageOfLetter(letter);
        if (!storage) return Fail(STATUS_NO_SUCH_DEVICE, "no storage device behind that letter");
        storage->InsertMedia();
        return {STATUS_SUCCESS, "media inserted\n"};
    }
    if (verb == "label") return tail.size() == 1 ? Label(letter, tail[0]) : Usage("label X: TEXT");
    if (verb == "delete") {
        StorageDevice* storage = StorageOfLetter(letter);
        FileSystem* fs = storage && storage->Spec().volume ? FindFileSystem(storage->Spec().volume->file_system) : nullptr;
        if (!fs) return Fail(STATUS_NO_SUCH_DEVICE, "no volume behind that letter");
        const NTSTATUS status = fs->DeleteVolume(storage->Device());
        return {status, StatusText(status) + "\n"};
    }
    if (verb == "failattach") {
        StorageDevice* storage = StorageOfLetter(letter);
        FileSystem* fs = storage && storage->Spec().volume ? FindFileSystem(storage->Spec().volume->file_system) : nullptr;
        if (tail.size() != 1 || !fs) return Usage("failattach X: N (a letter with a volume)");
        fs->ArmAttachFailures(storage->Device(), std::atoi(tail[0].c_str()));
        return {STATUS_SUCCESS, "armed for the next new mount\n"};
    }
    if (verb == "hold") return Hold(letter, tail);
    if (verb == "complete") return CompleteHeld(letter, tail);
    if (verb == "fastio") return FastIoCommand(letter, tail);
    if (verb == "fail") {
        NTSTATUS status;
        Volume* files = FilesOfLetter(letter);
        if (tail.size() != 3 || (tail[0] != "read" && tail[0] != "write") || !ParseStatus(tail[2], &status))
            return Usage("fail X: read|write N STATUS");
        if (!files) return Fail(STATUS_NO_SUCH_DEVICE, "no mounted volume behind that letter");
        files->Engine().Fail(tail[0] == "read" ? RequestClass::Read : RequestClass::Write, std::atoi(tail[1].c_str()),
                             status);
        return {STATUS_SUCCESS, "armed\n"};
    }
    if (FindVerb(verb)) return FileCommand(verb, letter, tail);
    return Usage("unknown command \"" + verb + "\"; try \"help\"");
}

CommandResult Machine::FileCommand(const std::string& verb_name, WCHAR letter, const std::vector<std::string>& rest) {
    const RequestVerb* verb = FindVerb(verb_name);
    const std::u16string path = DosName(letter) + (rest.empty() ? u"\\file.dat" : plat::Utf8ToUtf16(rest[0]));
    PFILE_OBJECT file = nullptr;
    NTSTATUS status = OpenFile(path, GENERIC_READ | GENERIC_WRITE, KernelMode, &file);
    if (!NT_SUCCESS(status)) return Fail(status, "open: " + StatusText(status) + "\n");
    FileRequest request{verb->major, 0, verb->info_class, kRequestLength, {}};
    std::vector<BYTE> output;
    const IO_STATUS_BLOCK iosb = SendFileRequest(file, request, &output);
    CloseFile(file);
    return {iosb.Status, plat::Format("%s: %s, %zu bytes\n", verb_name, StatusText(iosb.Status), size_t(iosb.Information))};
}

CommandResult Machine::Hold(WCHAR letter, const std::vector<std::string>& rest) {
    if (rest.size() != 2 || (rest[0] != "read" && rest[0] != "write")) return Usage("hold X: read|write N");
    const int count = std::atoi(rest[1].c_str());
    Volume* files = FilesOfLetter(letter);
    if (!files) return Fail(STATUS_NO_SUCH_DEVICE, "no mounted volume behind that letter");
    if (count <= 0 || count > 1000) return Usage("hold X: read|write N with N from 1 to 1000");
    PFILE_OBJECT file = nullptr;
    const NTSTATUS status = OpenFile(DosName(letter) + u"\\held.dat", GENERIC_READ | GENERIC_WRITE, KernelMode, &file);
    if (!NT_SUCCESS(status)) return Fail(status, "open: " + StatusText(status) + "\n");
    const bool read = rest[0] == "read";
    files->Engine().Hold(read ? RequestClass::Read : RequestClass::Write, count);
    int held = 0;
    for (int i = 0; i < count; ++i)
        held += StartFileRequest(file, {read ? IRP_MJ_READ : IRP_MJ_WRITE, 0, 0, kRequestLength, {}}) == STATUS_PENDING;
    m_heldFiles.emplace(letter, file);
    return {STATUS_SUCCESS, plat::Format("%d %s requests held\n", held, rest[0])};
}

CommandResult Machine::CompleteHeld(WCHAR letter, const std::vector<std::string>& rest) {
    Volume* files = FilesOfLetter(letter);
    if (!files) return Fail(STATUS_NO_SUCH_DEVICE, "no mounted volume behind that letter");
    RequestClass cls = RequestClass::Other;
    NTSTATUS status = STATUS_SUCCESS;
    bool passive = false;
    for (const auto& word : rest) {
        if (word == "read") cls = RequestClass::Read;
        else if (word == "write") cls = RequestClass::Write;
        else if (word == "all") cls = RequestClass::Other;
        else if (word == "passive") passive = true;
        else if (!ParseStatus(word, &status)) return Usage("complete X: [read|write|all] [STATUS] [passive]");
    }
    const int done = files->Engine().CompleteHeld(cls, status, passive);
    if (files->Engine().HeldCount() == 0) {
        const auto [first, last] = m_heldFiles.equal_range(letter);
        for (auto it = first; it != last; ++it) CloseFile(it->second);
        m_heldFiles.erase(letter);
    }
    return {STATUS_SUCCESS, plat::Format("%d requests completed with %s\n", done, StatusText(status))};
}

CommandResult Machine::FastIoCommand(WCHAR letter, const std::vector<std::string>& rest) {
    static const std::pair<const char*, FastIoKind> kinds[] = {
        {"read", FastIoKind::Read}, {"write", FastIoKind::Write}, {"basic", FastIoKind::QueryBasicInfo},
        {"standard", FastIoKind::QueryStandardInfo}, {"netopen", FastIoKind::QueryNetworkOpenInfo}};
    const auto* kind = rest.empty() ? nullptr : std::find_if(std::begin(kinds), std::end(kinds), [&](const auto& k) { return rest[0] == k.first; });
    if (!kind || kind == std::end(kinds)) return Usage("fastio X: read|write|basic|standard|netopen [PATH]");
    const std::u16string path = DosName(letter) + (rest.size() > 1 ? plat::Utf8ToUtf16(rest[1]) : u"\\file.dat");
    PFILE_OBJECT file = nullptr;
    const NTSTATUS status = OpenFile(path, GENERIC_READ | GENERIC_WRITE, KernelMode, &file);
    if (!NT_SUCCESS(status)) return Fail(status, "open: " + StatusText(status) + "\n");
    const auto answer = TryFastIo(file, kind->second, kRequestLength);
    CloseFile(file);
    if (!answer) return {STATUS_SUCCESS, "fast I/O declined (FALSE)\n"};
    return {answer->Status, "fast I/O answered TRUE: " + StatusText(answer->Status) + "\n"};
}

// Opens the volume as a user program opens "\\.\X:" and sends the codes in
// order; the first failure ends the sequence.
CommandResult Machine::VolumeControl(WCHAR letter, const std::vector<ULONG>& codes) {
    PFILE_OBJECT file = nullptr;
    NTSTATUS status = OpenFile(DosName(letter), GENERIC_READ | GENERIC_WRITE, UserMode, &file);
    if (!NT_SUCCESS(status)) return Fail(status, "open: " + StatusText(status) + "\n");
    std::string text;
    for (ULONG code : codes) {
        PREVENT_MEDIA_REMOVAL allow{FALSE};
        const bool removal = code == IOCTL_STORAGE_MEDIA_REMOVAL;
        const ControlResult result = DeviceControl(file, code, removal ? &allow : nullptr, removal ? sizeof(allow) : 0,
                                                   nullptr, 0, UserMode);
        text += plat::Format("0x%08lX: %s\n", static_cast<unsigned long>(code), StatusText(result.status));
        status = result.status;
        if (!NT_SUCCESS(status)) break;
    }
    CloseFile(file);
    return {status, text};
}

CommandResult Machine::Label(WCHAR letter, const std::string& label) {
    const std::u16string text = plat::Utf8ToUtf16(label);
    FileRequest request{IRP_MJ_SET_VOLUME_INFORMATION, 0, FileFsLabelInformation, 0, {}};
    const ULONG bytes = ULONG(text.size() * sizeof(WCHAR));
    request.input.resize(offsetof(FILE_FS_LABEL_INFORMATION, VolumeLabel) + bytes);
    std::memcpy(request.input.data(), &bytes, sizeof(bytes));
    std::memcpy(request.input.data() + offsetof(FILE_FS_LABEL_INFORMATION, VolumeLabel), text.data(), bytes);
    request.length = ULONG(request.input.size());
    PFILE_OBJECT file = nullptr;
    NTSTATUS status = OpenFile(DosName(letter) + u"\\", GENERIC_READ | GENERIC_WRITE, KernelMode, &file);
    if (!NT_SUCCESS(status)) return Fail(status, "open: " + StatusText(status) + "\n");
    status = SendFileRequest(file, request).Status;
    CloseFile(file);
    return {status, StatusText(status) + "\n"};
}

CommandResult Machine::NetworkCreate(const std::string& name) {
    FileSystem* redirector = nullptr;
    for (auto& fs : m_fileSystems)
        if (fs->IsNetwork()) redirector = fs.get();
    if (!redirector) return Fail(STATUS_NO_SUCH_DEVICE, "the scenario has no network redirector");
    if (name.empty() || name[0] != '\\') return Usage("netcreate NAME with NAME starting with a backslash");
    PFILE_OBJECT file = nullptr;
    const NTSTATUS status =
        OpenFile(redirector->Spec().device_name + plat::Utf8ToUtf16(name), GENERIC_READ, KernelMode, &file);
    if (NT_SUCCESS(status)) CloseFile(file);
    return {status, StatusText(status) + "\n"};
}

CommandResult Machine::FileSystemCommand(const std::string& verb, const std::string& name) {
    FileSystem* fs = FindFileSystem(plat::Utf8ToUtf16(name));
    if (!fs) return Fail(STATUS_OBJECT_NAME_NOT_FOUND, "no file system named " + name + "\n");
    if (verb == "register") fs->Register();
    if (verb == "unregister") fs->Unregister();
    if (verb == "fastiostats") {
        std::string text;
        for (std::size_t i = 1; i < FastIoEntryNames().size(); ++i)
            if (fs->FastIoCalls(i)) text += plat::Format("%-28s %d\n", FastIoEntryNames()[i], fs->FastIoCalls(i));
        return {STATUS_SUCCESS, text.empty() ? "no fast I/O calls\n" : text};
    }
    NTSTATUS status = STATUS_SUCCESS;
    if (verb == "remove") status = SendDeviceRequest(fs->ControlDevice(), IRP_MJ_PNP, IRP_MN_REMOVE_DEVICE);
    if (verb == "load") status = SendDeviceRequest(fs->ControlDevice(), IRP_MJ_FILE_SYSTEM_CONTROL, IRP_MN_LOAD_FILE_SYSTEM);
    return {status, StatusText(status) + "\n"};
}

DriveInfo Machine::QueryDrive(WCHAR letter) {
    std::lock_guard lock(m_lock);
    DriveInfo info;
    const std::u16string target = ResolveLinkChain(DosName(letter));
    FileSystem* redirector = nullptr;
    if (target == DosName(letter)) return info;  // no such letter
    if (IsNetworkTarget(target, &redirector)) {
        info.type = DRIVE_REMOTE;
    } else if (StorageDevice* storage = StorageOfLetter(letter)) {
        const auto& spec = storage->Spec();
        if (spec.volume) info.mount_point = spec.volume->mount_point;
        if (spec.type == FILE_DEVICE_CD_ROM || spec.type == FILE_DEVICE_DVD)
            info.type = DRIVE_CDROM;
        else
            info.type = (spec.removable || spec.floppy) ? DRIVE_REMOVABLE : DRIVE_FIXED;
    } else {
        info.type = DRIVE_UNKNOWN;
        return info;
    }
    PFILE_OBJECT file = nullptr;
    info.space_status = OpenFile(DosName(letter) + u"\\", FILE_READ_ATTRIBUTES, UserMode, &file);
    if (!NT_SUCCESS(info.space_status)) return info;
    std::vector<BYTE> output;
    const IO_STATUS_BLOCK iosb = SendFileRequest(
        file, {IRP_MJ_QUERY_VOLUME_INFORMATION, 0, FileFsFullSizeInformation, sizeof(FILE_FS_FULL_SIZE_INFORMATION), {}},
        &output);
    CloseFile(file);
    info.space_status = iosb.Status;
    if (NT_SUCCESS(iosb.Status) && output.size() >= sizeof(FILE_FS_FULL_SIZE_INFORMATION)) {
        FILE_FS_FULL_SIZE_INFORMATION full;
        std::memcpy(&full, output.data(), sizeof(full));
        const ULONGLONG unit = ULONGLONG(full.SectorsPerAllocationUnit) * full.BytesPerSector;
        info.total_bytes = ULONGLONG(full.TotalAllocationUnits.QuadPart) * unit;
        info.free_bytes = ULONGLONG(full.CallerAvailableAllocationUnits.QuadPart) * unit;
    }
    return info;
}

CommandResult Machine::Drives() {
    static const char* const kTypes[] = {"unknown", "none", "removable", "fixed", "remote", "cdrom"};
    std::string text;
    for (WCHAR letter = u'A'; letter <= u'Z'; ++letter) {
        const DriveInfo info = QueryDrive(letter);
        if (info.type == DRIVE_NO_ROOT_DIR) continue;
        text += plat::Format("%c: %-9s %s", char(letter), kTypes[info.type],
                             plat::Utf16ToUtf8(ResolveLinkChain(DosName(letter))));
        if (NT_SUCCESS(info.space_status))
            text += plat::Format("  total %llu free %llu", static_cast<unsigned long long>(info.total_bytes),
                                 static_cast<unsigned long long>(info.free_bytes));
        else
            text += "  (" + StatusText(info.space_status) + ")";
        text += "\n";
    }
    return {STATUS_SUCCESS, text};
}

}  // namespace kern::sim
