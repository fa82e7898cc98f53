#include "BlinkorHarness.h"

#include <algorithm>
#include <sstream>

#include "BlkDumpLayout.h"
#include "kernel/sim/scenario.h"

namespace blinkor::test {

kern::sim::MachineSpec StandardScenario() {
    kern::sim::MachineSpec spec = kern::sim::DefaultScenario();
    kern::sim::StorageSpec hidden;
    hidden.name = u"\\Device\\HarddiskVolume7";
    hidden.volume = kern::sim::VolumeSpec{u"Ntfs", u"HIDDEN", 7};
    spec.storage.push_back(hidden);
    for (auto& [name, target] : spec.links) {
        if (name == u"\\??\\D:") target = u"\\Device\\Harddisk0\\Partition2";
    }
    return spec;
}

ULONG FakeClient::NewEvent() {
    std::lock_guard lock(m_lock);
    m_next += 4;
    m_events[m_next] = 0;
    return m_next;
}

void FakeClient::CloseEvent(ULONG handle) {
    std::lock_guard lock(m_lock);
    m_events.erase(handle);
}

int FakeClient::Signals(ULONG handle) const {
    std::lock_guard lock(m_lock);
    const auto it = m_events.find(handle);
    return it == m_events.end() ? -1 : it->second;
}

NTSTATUS FakeClient::CheckEventHandle(ULONG handle, ACCESS_MASK) {
    std::lock_guard lock(m_lock);
    return m_events.contains(handle) ? STATUS_SUCCESS : STATUS_INVALID_HANDLE;
}

void FakeClient::SignalEvent(ULONG handle) {
    std::lock_guard lock(m_lock);
    const auto it = m_events.find(handle);
    if (it != m_events.end()) ++it->second;
}

void DriverTest::SetUp() {
    kern::SetBugCheckHandler([](ULONG code, const std::string& text) {
        ADD_FAILURE() << "bug check 0x" << std::hex << code << ": " << text;
    });
    m_process = std::make_unique<kern::ScopedProcess>(m_client);
}

void DriverTest::TearDown() {
    for (PFILE_OBJECT file : m_open) kern::CloseFile(file);
    m_open.clear();
    m_process.reset();
}

void DriverTest::Build(const std::string& scenario_json) {
    kern::sim::MachineSpec spec;
    std::string error;
    ASSERT_TRUE(kern::sim::ParseScenario(scenario_json, &spec, &error)) << error;
    Build(spec);
}

void DriverTest::Build(kern::sim::MachineSpec spec) {
    std::string error;
    spec.modules = {{BLINKOR_MODULE_PATH, u"\\FileSystem\\Blinkor"}};
    m_open.clear();  // files of the previous machine went with its kernel
    m_machine = std::make_unique<kern::sim::Machine>();
    ASSERT_EQ(m_machine->Build(spec, "", &error), STATUS_SUCCESS) << error;
    m_control = Open();
}

NTSTATUS DriverTest::Run(const std::string& command) {
    std::istringstream words(command);
    std::vector<std::string> args;
    for (std::string word; words >> word;) args.push_back(word);
    return m_machine->Execute(args).status;
}

PFILE_OBJECT DriverTest::Open() {
    PFILE_OBJECT file = nullptr;
    const NTSTATUS status = kern::OpenFile(u"\\DosDevices\\Blinkor", GENERIC_READ | GENERIC_WRITE, UserMode, &file);
    EXPECT_EQ(status, STATUS_SUCCESS);
    if (file) m_open.push_back(file);
    return file;
}

void DriverTest::Close(PFILE_OBJECT file) {
    m_open.erase(std::remove(m_open.begin(), m_open.end(), file), m_open.end());
    kern::CloseFile(file);
}

kern::ControlResult DriverTest::Control(PFILE_OBJECT file, ULONG code, const void* input, ULONG input_length,
                                        void* output, ULONG output_length) {
    return kern::DeviceControl(file, code, input, input_length, output, output_length, UserMode);
}

NTSTATUS DriverTest::Register(PFILE_OBJECT file, ULONG code, ULONG handle) {
    return Control(file, code, &handle, sizeof handle, nullptr, 0).status;
}

ULONG DriverTest::Watch(ULONG code) {
    const ULONG event = m_client->NewEvent();
    EXPECT_EQ(Register(m_control, code, event), STATUS_SUCCESS);
    return event;
}

std::vector<Drive> DriverTest::Drives() {
    std::vector<BYTE> buffer(16384);
    const auto result = Control(m_control, IOCTL_LED_GET_DRIVES, nullptr, 0, buffer.data(), ULONG(buffer.size()));
    EXPECT_EQ(result.status, STATUS_SUCCESS);
    std::vector<Drive> drives;
    const bool whole = ForEachDriveRecord(buffer.data(), result.information, [&](const DRIVE_RECORD& r, const BYTE* name) {
        Drive d{r, std::u16string(r.NameLength / 2, u'\0')};
        std::memcpy(d.name.data(), name, r.NameLength & ~1u);
        drives.push_back(d);
    });
    EXPECT_TRUE(whole);
    return drives;
}

const Drive* DriverTest::FindDrive(WCHAR letter) {
    static thread_local std::vector<Drive> last;
    last = Drives();
    for (const auto& d : last)
        if (d.record.Letter == letter) return &d;
    return nullptr;
}

ACTIVITY_MASKS DriverTest::Activity() {
    ACTIVITY_MASKS masks{0xCCCCCCCC, 0xCCCCCCCC};
    const auto result = Control(m_control, IOCTL_LED_GET_ACTIVITY, nullptr, 0, &masks, sizeof masks);
    EXPECT_EQ(result.status, STATUS_SUCCESS);
    EXPECT_EQ(result.information, sizeof masks);
    return masks;
}

bool DriverTest::Filtered(std::u16string_view file_system) {
    kern::sim::FileSystem* fs = m_machine->FindFileSystem(file_system);
    EXPECT_NE(fs, nullptr);
    if (!fs) return false;
    PDEVICE_OBJECT above = fs->ControlDevice()->AttachedDevice;
    return above && kern::ObjectName(above->DriverObject) == u"\\FileSystem\\Blinkor";
}

DriverTest::TreeCounts DriverTest::CountFilters() {
    std::vector<BYTE> dump(65536);
    const auto result = Control(m_control, IOCTL_LED_DUMP_STATE, nullptr, 0, dump.data(), ULONG(dump.size()));
    EXPECT_EQ(result.status, STATUS_SUCCESS);
    const auto get32 = [&](std::size_t at) {
        LONG v = 0;
        std::memcpy(&v, dump.data() + at, sizeof v);
        return v;
    };
    const auto get64 = [&](std::size_t at) {
        ULONGLONG v = 0;
        std::memcpy(&v, dump.data() + at, sizeof v);
        return v;
    };
    TreeCounts counts;
    EXPECT_EQ(std::memcmp(dump.data() + dump::control::kTag, "LMCD", 4), 0);
    counts.file_systems = get32(dump::control::kFsCount);
    std::size_t at = dump::kControlSize;
    for (LONG f = 0; f < counts.file_systems; ++f) {
        EXPECT_EQ(std::memcmp(dump.data() + at + dump::fs::kTag, "LMFS", 4), 0) << "at " << at;
        const LONG volumes = get32(at + dump::fs::kVolumeCount);
        int records = 0;
        for (int slot = 0; slot < 32; ++slot) records += get64(at + dump::fs::kSlots + 8 * slot) != 0;
        at += dump::kFsFilterSize;
        for (int r = 0; r < records; ++r) {
            USHORT length = 0;
            std::memcpy(&length, dump.data() + at + dump::letter::kName, sizeof length);
            at += dump::kLetterHeaderSize + length + dump::kLetterSpare;
        }
        for (LONG v = 0; v < volumes; ++v) {
            EXPECT_EQ(std::memcmp(dump.data() + at + dump::volume::kTag, "LMVO", 4), 0) << "at " << at;
            at += dump::kVolumeSize;
        }
        counts.volumes += volumes;
    }
    EXPECT_EQ(at, result.information);
    return counts;
}

std::size_t DriverTest::LiveBlocks(const char (&tag)[5]) {
    for (const auto& usage : kern::PoolUsage())
        if (usage.tag == POOL_TAG(tag)) return usage.allocations;
    return 0;
}

}  // namespace blinkor::test
