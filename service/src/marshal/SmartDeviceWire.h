// The wire form of a SmartDevice: 2424 bytes, every field but the two links,
// little-endian in this order: server id (u64), device type, device number
// (u32), model (41), firmware (9), serial (21 UTF-16 code units), flags
// (u32), collect, short, extended and conveyance test times (u16), port,
// path, target, lun, ATA level (u8), the 88-byte counters, health (u8) and
// the 30 attributes of 72 bytes each.
#pragma once

#include "archive/ZmArchive.h"
#include "smart/SmartRecords.h"

inline constexpr DWORD kSmartDeviceWireSize = 2424;

// Appends the record at the archive's position (its end); false when the
// archive could not take all of it.
bool PutSmartDevice(CZmArchive& archive, const SmartDevice& device);
// Reads one record into `device`, which becomes a zeroed record with empty
// links plus the fields read; false (nothing read) when fewer than a whole
// record remain.
bool GetSmartDevice(CZmArchive& archive, SmartDevice& device);
