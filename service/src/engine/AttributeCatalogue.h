// The ATA attribute catalogue: names by id, the counters some attributes
// feed, and the copy of a node's attribute table into a device record.
#pragma once

#include <string>

#include "engine/DeviceNode.h"

// The attribute entries of a S.M.A.R.T. READ DATA sector (ATA standard):
// 30 entries of 12 bytes from offset 2. The engine keeps each attribute's
// threshold in the entry's twelfth byte.
namespace ata_sector {
inline constexpr std::size_t kFirstEntry = 2;
inline constexpr std::size_t kEntrySize = 12;
inline constexpr std::size_t kId = 0;
inline constexpr std::size_t kFlags = 1;
inline constexpr std::size_t kValue = 3;
inline constexpr std::size_t kWorst = 4;
inline constexpr std::size_t kRaw = 5;
inline constexpr std::size_t kThreshold = 11;
inline BYTE* Entry(BYTE* sector, std::size_t i) { return sector + kFirstEntry + kEntrySize * i; }
inline const BYTE* Entry(const BYTE* sector, std::size_t i) { return sector + kFirstEntry + kEntrySize * i; }
}  // namespace ata_sector

// The name of an attribute id; "Attrib %d" for ids not in the table.
const std::u16string& AttributeName(BYTE id);

// Fills the node's counters from the attribute entries of its sector. Other
// counters keep their values; for an id that occurs twice the later entry wins.
void DeriveAtaCounters(DeviceNode& node);

// ATA node: the record's 30 attribute entries from the node's sector. Any
// node: the counters block. A SCSI record's attribute table is left alone.
void FillAttributes(SmartDevice& record, const DeviceNode& node);
