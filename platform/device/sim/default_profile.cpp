// The built-in demo machine: two ATA disks of two makers, a SCSI disk, a
// DVD writer and a tape drive, with plausible identities and counters.
#include "device/sim_machine.h"

namespace plat::device {

std::string_view DefaultProfileText() {
    return R"json({
  "comment": "Built-in demo machine of the device simulation",
  "devices": [
    {
      "name": "\\Device\\Harddisk0\\DR0",
      "links": ["\\Device\\Harddisk0\\Partition0"],
      "kind": "ata-disk",
      "scsi_address": {"port": 0, "path": 0, "target": 0, "lun": 0},
      "smart_version": {"version": 1, "revision": 1, "device_map": 1, "capabilities": 7},
      "ata": {
        "model": "KORVANE KV7200-500G", "serial": "KV5A09T3X1834", "firmware": "KV04B11",
        "sectors": 976773168,
        "smart": {
          "enabled": true, "autosave": true, "auto_offline": false,
          "offline_capability": "0x7B", "smart_capability": 3, "error_logging": 1,
          "collect_seconds": 600, "short_minutes": 2, "extended_minutes": 92, "conveyance_minutes": 5,
          "attributes": [
            {"id": 1,   "flags": "0x000F", "value": 117, "worst": 99,  "raw": 148103212, "threshold": 6},
            {"id": 3,   "flags": "0x0003", "value": 97,  "worst": 97,  "raw": 0,         "threshold": 0},
            {"id": 4,   "flags": "0x0032", "value": 100, "worst": 100, "raw": 845,       "threshold": 20},
            {"id": 5,   "flags": "0x0033", "value": 100, "worst": 100, "raw": 0,         "threshold": 36},
            {"id": 7,   "flags": "0x000F", "value": 80,  "worst": 60,  "raw": 98765432,  "threshold": 30},
            {"id": 9,   "flags": "0x0032", "value": 88,  "worst": 88,  "raw": 10512,     "threshold": 0},
            {"id": 10,  "flags": "0x0013", "value": 100, "worst": 100, "raw": 0,         "threshold": 97},
            {"id": 12,  "flags": "0x0032", "value": 100, "worst": 100, "raw": 830,       "threshold": 20},
            {"id": 187, "flags": "0x0032", "value": 100, "worst": 100, "raw": 0,         "threshold": 0},
            {"id": 190, "flags": "0x0022", "value": 64,  "worst": 55,  "raw": 36,        "threshold": 45},
            {"id": 194, "flags": "0x0022", "value": 36,  "worst": 45,  "raw": "0x002D00120024", "threshold": 0},
            {"id": 195, "flags": "0x001A", "value": 49,  "worst": 45,  "raw": 148103212, "threshold": 0},
            {"id": 197, "flags": "0x0012", "value": 100, "worst": 100, "raw": 0,         "threshold": 0},
            {"id": 198, "flags": "0x0010", "value": 100, "worst": 100, "raw": 0,         "threshold": 0},
            {"id": 199, "flags": "0x003E", "value": 200, "worst": 200, "raw": 0,         "threshold": 0}
          ],
          "selftest_log": [
            {"type": 1, "result": 0, "hours": 10102},
            {"type": 2, "result": 0, "hours": 10355}
          ]
        }
      }
    },
    {
      "name": "\\Device\\Harddisk1\\DR1",
      "links": ["\\Device\\Harddisk1\\Partition0"],
      "kind": "ata-disk",
      "scsi_address": {"port": 1, "path": 0, "target": 0, "lun": 0},
      "smart_version": {"version": 1, "revision": 1, "device_map": 1, "capabilities": 7},
      "ata": {
        "model": "Talmet TD2T-7K2", "serial": "TM19Q4480551", "firmware": "TD1.0C21",
        "sectors": 3907029168,
        "smart": {
          "enabled": true, "autosave": true, "auto_offline": true,
          "offline_capability": "0x5B", "smart_capability": 3, "error_logging": 1,
          "collect_seconds": 24000, "short_minutes": 1, "extended_minutes": 255, "conveyance_minutes": 0,
          "error_count": 2,
          "attributes": [
            {"id": 1,   "flags": "0x000B", "value": 100, "worst": 100, "raw": 0,     "threshold": 62},
            {"id": 2,   "flags": "0x0005", "value": 134, "worst": 134, "raw": 103,   "threshold": 40},
            {"id": 3,   "flags": "0x0007", "value": 253, "worst": 253, "raw": 0,     "threshold": 33},
            {"id": 4,   "flags": "0x0012", "value": 100, "worst": 100, "raw": 1201,  "threshold": 0},
            {"id": 5,   "flags": "0x0033", "value": 100, "worst": 100, "raw": 2,     "threshold": 5},
            {"id": 7,   "flags": "0x000B", "value": 100, "worst": 100, "raw": 0,     "threshold": 67},
            {"id": 8,   "flags": "0x0005", "value": 117, "worst": 117, "raw": 33,    "threshold": 40},
            {"id": 9,   "flags": "0x0012", "value": 96,  "worst": 96,  "raw": 31877, "threshold": 0},
            {"id": 10,  "flags": "0x0013", "value": 100, "worst": 100, "raw": 0,     "threshold": 60},
            {"id": 12,  "flags": "0x0032", "value": 100, "worst": 100, "raw": 1150,  "threshold": 0},
            {"id": 192, "flags": "0x0032", "value": 99,  "worst": 99,  "raw": 1460,  "threshold": 0},
            {"id": 193, "flags": "0x0012", "value": 99,  "worst": 99,  "raw": 1460,  "threshold": 0},
            {"id": 194, "flags": "0x0002", "value": 166, "worst": 140, "raw": "0x003500160024", "threshold": 0},
            {"id": 196, "flags": "0x0032", "value": 100, "worst": 100, "raw": 2,     "threshold": 0},
            {"id": 197, "flags": "0x0022", "value": 100, "worst": 100, "raw": 0,     "threshold": 0},
            {"id": 198, "flags": "0x0008", "value": 100, "worst": 100, "raw": 0,     "threshold": 0},
            {"id": 199, "flags": "0x000A", "value": 200, "worst": 200, "raw": 0,     "threshold": 0},
            {"id": 200, "flags": "0x0009", "value": 100, "worst": 100, "raw": 0,     "threshold": 51}
          ],
          "selftest_log": [
            {"type": 1, "result": 0, "hours": 31600}
          ]
        }
      }
    },
    {
      "name": "\\Device\\Harddisk2\\DR2",
      "links": ["\\Device\\Harddisk2\\Partition0"],
      "kind": "scsi-disk",
      "scsi_address": {"port": 2, "path": 0, "target": 3, "lun": 0},
      "scsi": {
        "vendor": "ORBELIN", "product": "OX15K300-SAS", "revision": "R204",
        "serial": "3QK0A7Z1000097130Q2T",
        "blocks": 585937500, "block_size": 512,
        "informational_exceptions": {"flags": "0x00", "mrie": 6},
        "extended_selftest_seconds": 2700,
        "temperature": 33, "reference_temperature": 68,
        "power_on_hours": 23117,
        "diagnostic_pages": {"0x80": "80 00 00 04 00 00 02 58"},
        "log_pages": {
          "0x02": [{"code": 0, "value": 0}, {"code": 1, "value": 0}, {"code": 2, "value": 0},
                   {"code": 3, "value": 17}, {"code": 4, "value": 17},
                   {"code": 5, "value": 1873412245504, "size": 8}, {"code": 6, "value": 0}],
          "0x03": [{"code": 0, "value": 482211}, {"code": 1, "value": 3}, {"code": 2, "value": 0},
                   {"code": 3, "value": 482214}, {"code": 4, "value": 482214},
                   {"code": 5, "value": 9328714006528, "size": 8}, {"code": 6, "value": 0}],
          "0x06": [{"code": 0, "value": 4}],
          "0x0E": [{"code": 1, "hex": "32 30 31 39 32 32"}, {"code": 2, "hex": "32 30 32 30 30 35"},
                   {"code": 3, "value": 50000}, {"code": 4, "value": 412}]
        },
        "selftest_log": [
          {"type": 1, "result": 0, "hours": 22980},
          {"type": 2, "result": 0, "hours": 23001}
        ]
      },
      "behaviour": {
        "selftests": {"short": {"seconds": 90}, "extended": {"seconds": 2700}}
      }
    },
    {
      "name": "\\Device\\CdRom0",
      "kind": "cdrom",
      "scsi_address": {"port": 3, "path": 0, "target": 0, "lun": 0},
      "scsi": {
        "vendor": "HALVEX", "product": "DVD-RW HX-22S", "revision": "1.04",
        "serial": "HX22S0017730", "blocks": 0, "block_size": 2048,
        "self_test": false
      }
    },
    {
      "name": "\\Device\\Tape0",
      "kind": "tape",
      "scsi_address": {"port": 2, "path": 0, "target": 5, "lun": 0},
      "scsi": {
        "vendor": "STRANDA", "product": "LTO4 SD-1840", "revision": "B63Z",
        "serial": "SD18400B2271",
        "self_test": false,
        "temperature": 29, "reference_temperature": 55,
        "log_pages": {
          "0x02": [{"code": 0, "value": 0}, {"code": 3, "value": 2}, {"code": 6, "value": 0}],
          "0x03": [{"code": 0, "value": 11}, {"code": 3, "value": 11}, {"code": 6, "value": 0}]
        }
      }
    }
  ]
})json";
}

}  // namespace plat::device
