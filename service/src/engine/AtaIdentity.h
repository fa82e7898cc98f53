// What the engine takes from an ATA IDENTIFY DEVICE sector (ATA/ATAPI
// standards, words of 16 bits, little-endian): the identity strings and the
// generation of the standard the drive claims.
#pragma once

#include "engine/DeviceNode.h"

namespace ata_identify {
inline constexpr std::size_t kSerialWord = 10;    // 10 words, 20 characters
inline constexpr std::size_t kFirmwareWord = 23;  // 4 words, 8 characters
inline constexpr std::size_t kModelWord = 27;     // 20 words, 40 characters
inline constexpr std::size_t kMajorVersion = 80;
inline constexpr std::size_t kCommandSet1 = 82;
inline constexpr std::size_t kCommandSet2 = 83;
inline constexpr std::size_t kCommandSetExt = 84;
inline constexpr std::size_t kEnabled1 = 85;
inline constexpr std::size_t kDefault = 87;

inline WORD Word(const BYTE* sector, std::size_t index) {
    return static_cast<WORD>(sector[2 * index] | (sector[2 * index + 1] << 8));
}
}  // namespace ata_identify

// Serial, model and firmware into the node, untrimmed. Each word holds two
// characters, high byte first; each byte becomes a wide character by sign
// extension, as the stored history expects.
void TakeIdentityStrings(const BYTE* identify, DeviceNode& node);

// 1 to 14 from the major version word, else from the command-set words of
// drives that predate it; 0 when nothing fits.
BYTE AtaLevelFromIdentity(const BYTE* identify);
