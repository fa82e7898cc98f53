// The model of a simulation profile: what each simulated device is and how
// it starts out. Loaded from JSON by LoadProfile (format in
// docs/sim-profile.md); every field has a default, so a profile names only
// what matters to it.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/wintypes.h"
#include "device/scsi_ioctl.h"
#include "device/smart_ioctl.h"

namespace plat::device {

enum class SimKind { kAtaDisk, kScsiDisk, kCdRom, kTape, kFloppy, kScsiPort };

using Bytes = std::vector<BYTE>;

struct SimAttribute {
    BYTE id = 0;
    WORD flags = 0;
    BYTE value = 100;
    BYTE worst = 100;
    std::uint64_t raw = 0;  // 48 bits
    BYTE threshold = 0;
};

// One entry of a self-test log, newest last in the profile.
struct SimSelfTestEntry {
    BYTE type = 1;          // ATA: LBA-low subcommand; SCSI: self-test code
    BYTE result = 0;        // ATA: status nibble; SCSI: result code
    BYTE remaining = 0;     // ATA: tenths still to do when it ended
    WORD hours = 0;         // life time stamp
    std::uint64_t lba = 0;  // first failing address (0xFF.. none)
};

struct SimAta {
    std::string model, serial, firmware;
    std::uint64_t sectors = 0;
    std::map<int, WORD> identify_words;    // words returned as given
    std::optional<Bytes> identify_sector;  // the whole sector as given
    bool smart_supported = true;
    bool smart_enabled = true;
    bool autosave = false;
    bool auto_offline = false;
    std::vector<SimAttribute> attributes;
    BYTE offline_status = 0x02;   // byte 362 without bit 7
    BYTE selftest_status = 0x00;  // byte 363
    BYTE offline_capability = 0x5B;
    WORD smart_capability = 0x0003;
    BYTE error_logging = 0x01;
    WORD collect_seconds = 600;
    BYTE short_minutes = 2;
    BYTE extended_minutes = 60;
    BYTE conveyance_minutes = 5;
    enum class Health { kAuto, kHealthy, kExceeded } return_status = Health::kAuto;
    WORD error_count = 0;
    std::optional<Bytes> data_sector;        // READ DATA answer as given
    std::optional<Bytes> thresholds_sector;  // READ THRESHOLDS answer as given
    std::map<BYTE, Bytes> logs;              // READ LOG answers by log address
    std::vector<SimSelfTestEntry> selftest_log;
};

struct SimLogParameter {
    WORD code = 0;
    BYTE control = 0x03;
    Bytes value;
};

struct SimScsi {
    BYTE peripheral_type = 0;
    bool removable = false;  // RMB of INQUIRY; follows the device's characteristics
    std::string vendor, product, revision, serial;
    std::optional<Bytes> inquiry;     // standard INQUIRY data as given
    std::optional<Bytes> vpd_serial;  // VPD page 0x80 as given
    std::uint64_t blocks = 0;
    ULONG block_size = 512;
    // Informational exceptions control (mode page 0x1C); absent when the
    // unit has no such page.
    struct InformationalExceptions {
        BYTE flags = 0x00;
        BYTE mrie = 6;
        ULONG interval_timer = 0;
        ULONG report_count = 0;
        std::array<BYTE, 10> changeable{0xBD, 0x0F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
        BYTE asc = 0;  // a failure prediction when not 0
        BYTE ascq = 0;
    };
    std::optional<InformationalExceptions> ie;
    std::optional<WORD> extended_selftest_seconds;  // control mode page 0x0A
    bool control_page = false;
    std::map<BYTE, Bytes> mode_pages;  // further mode pages (current values)
    std::map<BYTE, Bytes> diagnostic_pages;
    std::map<BYTE, std::vector<SimLogParameter>> log_parameters;
    std::map<BYTE, Bytes> raw_log_pages;
    std::optional<BYTE> temperature;
    BYTE reference_temperature = 0;
    std::optional<Bytes> request_sense;
    bool self_test = true;
    WORD power_on_hours = 0;
    std::vector<SimSelfTestEntry> selftest_log;
};

struct SimSelfTestBehaviour {
    std::uint32_t seconds = 0;
    BYTE result = 0;
};

struct SimFailure {
    std::optional<ULONG> control_code;
    std::optional<BYTE> ata_command;
    std::optional<BYTE> ata_feature;
    std::optional<BYTE> scsi_opcode;
    std::uint32_t skip = 0;                    // matching requests to let through first
    std::optional<std::uint32_t> times;        // then fail this many (none: all)
    std::optional<NTSTATUS> status;            // fail the request with this status
    std::optional<BYTE> ata_error;             // or: the drive aborts with this error
    std::optional<std::array<BYTE, 3>> sense;  // or: CHECK CONDITION key/asc/ascq
};

struct SimBehaviour {
    std::optional<std::uint64_t> pending_ms;
    std::optional<std::uint32_t> vanish_after;
    bool stops_on_command = false;
    std::map<int, SimSelfTestBehaviour> selftests;  // by ATA subcommand 0..4
    std::vector<SimFailure> failures;
};

struct SimDeviceProfile {
    std::u16string name;
    std::vector<std::u16string> links;
    SimKind kind = SimKind::kAtaDisk;
    ULONG device_type = 0;
    ULONG characteristics = 0;
    std::optional<SCSI_ADDRESS> address;
    std::optional<GETVERSIONINPARAMS> smart_version;
    std::optional<SimAta> ata;
    std::optional<SimScsi> scsi;
    SimBehaviour behaviour;
};

struct SimProfile {
    std::vector<SimDeviceProfile> devices;
    std::map<std::u16string, std::u16string> links;  // further links: name -> target
};

// Parses a profile. On failure returns none and sets *error to
// "<source>: <field path>: <what is wrong>".
std::optional<SimProfile> LoadProfile(std::string_view json, std::string_view source, std::string* error);

}  // namespace plat::device
