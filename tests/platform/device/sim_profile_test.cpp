// Profiles: a bad one is refused with the file, the field and the fault; the
// built-in one describes the demo machine.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "device/backend.h"
#include "device/sim_machine.h"
#include "device_requests.h"

using plat::device::SimMachine;

namespace {

struct BadProfile {
    const char* json;
    const char* message;  // expected after "lab.json: "
};

class BadProfileTest : public ::testing::TestWithParam<BadProfile> {};

TEST_P(BadProfileTest, NamesTheFieldAndTheFault) {
    std::string error;
    EXPECT_EQ(SimMachine::FromText(GetParam().json, "lab.json", &error), nullptr);
    EXPECT_EQ(error, std::string("lab.json: ") + GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Profiles, BadProfileTest,
    ::testing::Values(
        BadProfile{R"({})", "top level: needs a devices array"},
        BadProfile{R"({"devices": {}})", "devices: must be an array"},
        BadProfile{R"({"devices": [{"kind": "cdrom"}]})", "devices[0]: needs a name"},
        BadProfile{R"({"devices": [{"name": "Device\\X", "kind": "cdrom"}]})",
                   "devices[0].name: must be an NT name beginning with a backslash"},
        BadProfile{R"({"devices": [{"name": "\\D", "kind": "zip"}]})",
                   "devices[0].kind: must be one of ata-disk, scsi-disk, cdrom, tape, floppy, scsi-port, got \"zip\""},
        BadProfile{R"({"devices": [{"name": "\\D", "kind": "ata-disk", "colour": 1}]})",
                   "devices[0].colour: unknown field"},
        BadProfile{R"({"devices": [{"name": "\\D", "kind": "ata-disk",
                       "ata": {"smart": {"attributes": [{"id": 1}, {"id": 0}]}}}]})",
                   "devices[0].ata.smart.attributes[1].id: must be 1 to 255, got 0"},
        BadProfile{R"({"devices": [{"name": "\\D", "kind": "ata-disk", "ata": {"model": 42}}]})",
                   "devices[0].ata.model: must be a string, got 42"},
        BadProfile{R"({"devices": [{"name": "\\D", "kind": "ata-disk", "ata": {"serial": "123456789012345678901"}}]})",
                   "devices[0].ata.serial: must be at most 20 characters"},
        BadProfile{R"({"devices": [{"name": "\\D", "kind": "ata-disk", "ata": {"smart": {"data_sector": "00 11"}}}]})",
                   "devices[0].ata.smart.data_sector: must hold 512 bytes, got 2"},
        BadProfile{R"({"devices": [{"name": "\\D", "kind": "ata-disk", "ata": {"identify_words": {"300": 1}}}]})",
                   "devices[0].ata.identify_words.300: the key must be a number from 0 to 255"},
        BadProfile{R"({"devices": [{"name": "\\D", "kind": "scsi-disk", "scsi": {"log_pages": {"0x02": "4G"}}}]})",
                   "devices[0].scsi.log_pages.0x02: must hold hex digits only, found 'G'"},
        BadProfile{R"({"devices": [{"name": "\\D", "kind": "cdrom", "ata": {}}]})",
                   "devices[0].ata: is only for kind ata-disk"},
        BadProfile{R"({"devices": [{"name": "\\D", "kind": "cdrom",
                       "behaviour": {"failures": [{"scsi_opcode": 18}]}}]})",
                   "devices[0].behaviour.failures[0]: needs exactly one of status, ata_error and sense"},
        BadProfile{R"({"devices": [{"name": "\\D", "kind": "cdrom"}, {"name": "\\d", "kind": "tape"}]})",
                   "devices[1].name: names \"\\d\", already used at devices[0].name"},
        BadProfile{R"({"devices": [{"name": "\\D", "kind": "cdrom", "removable": "yes"}]})",
                   "devices[0].removable: must be true or false, got \"yes\""}));

TEST(ProfileTest, MalformedJsonNamesThePlace) {
    std::string error;
    EXPECT_EQ(SimMachine::FromText("{\"devices\": [", "lab.json", &error), nullptr);
    EXPECT_EQ(error.rfind("lab.json: not valid JSON: parse error at line 1, column 14: ", 0), 0u) << error;
}

TEST(ProfileTest, DefaultMachineHasTheDemoDrives) {
    plat::device::ScopedSimulation sim;
    const std::vector<std::string> names = sim->DeviceNames();
    EXPECT_EQ(names, (std::vector<std::string>{"\\Device\\Harddisk0\\DR0", "\\Device\\Harddisk1\\DR1",
                                               "\\Device\\Harddisk2\\DR2", "\\Device\\CdRom0", "\\Device\\Tape0"}));
    // Two ATA disks of two makers, and the SCSI disk speaks SCSI only.
    std::vector<std::string> models;
    for (const char* name : {"\\Device\\Harddisk0\\Partition0", "\\Device\\Harddisk1\\Partition0"}) {
        HANDLE h = devtest::Open(name);
        const devtest::SmartReply r = devtest::Identify(h);
        ASSERT_EQ(r.driver_error(), SMART_NO_ERROR) << name;
        models.emplace_back(reinterpret_cast<const char*>(r.data()) + 54, 8);
        NtClose(h);
    }
    EXPECT_NE(models[0], models[1]);
    HANDLE scsi = devtest::Open("\\Device\\Harddisk2\\Partition0");
    EXPECT_EQ(devtest::Identify(scsi).status, STATUS_INVALID_DEVICE_REQUEST);
    EXPECT_EQ(devtest::ScsiIn(scsi, {0x1A, 0x08, 0x1C, 0, 16, 0}, 16).data[0], 15);
    NtClose(scsi);
}

class EnvironmentTest : public ::testing::Test {
protected:
    ~EnvironmentTest() override { unsetenv("LUMETRA_DEVICES"); }
};

TEST_F(EnvironmentTest, VariableSelectsTheBackend) {
    setenv("LUMETRA_DEVICES", "default", 1);
    auto choice = plat::device::BackendFromEnvironment();
    EXPECT_TRUE(choice.error.empty());
    EXPECT_TRUE(choice.backend->DeviceExists(u"\\Device\\Tape0"));

    const auto path = std::filesystem::temp_directory_path() / "lumetra-device-profile-test.json";
    std::ofstream(path) << R"({"devices": [{"name": "\\Device\\Floppy0", "kind": "floppy"}]})";
    setenv("LUMETRA_DEVICES", path.c_str(), 1);
    choice = plat::device::BackendFromEnvironment();
    EXPECT_TRUE(choice.error.empty()) << choice.error;
    EXPECT_TRUE(choice.backend->DeviceExists(u"\\Device\\Floppy0"));

    std::ofstream(path) << R"({"devices": [{"name": "\\Device\\Floppy0", "kind": "floppy", "links": 5}]})";
    choice = plat::device::BackendFromEnvironment();
    EXPECT_EQ(choice.error, path.string() + ": devices[0].links: must be an array");
    EXPECT_FALSE(choice.backend->DeviceExists(u"\\Device\\Floppy0"));  // an empty machine
    std::filesystem::remove(path);

    setenv("LUMETRA_DEVICES", "/nonexistent/profile.json", 1);
    EXPECT_EQ(plat::device::BackendFromEnvironment().error, "/nonexistent/profile.json: cannot be read");
}

}  // namespace
