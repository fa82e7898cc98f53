// The records the crash-safety writers store: every field of generation g
// holds g (or its low bits), so a value that mixes two generations is torn.
#pragma once

#include <array>
#include <cstdlib>
#include <string>

#include "Settings.h"
#include "base/format.h"
#include "engine/DeviceNode.h"

namespace crashsafety {

inline constexpr std::size_t kHistoryNodes = 3;

// Where a writer starts: $CRASH_SAFETY_GENERATION (the parent passes one
// beyond what is stored), so generations only grow across rounds.
inline DWORD StartGeneration() {
    const char* text = std::getenv("CRASH_SAFETY_GENERATION");
    return text ? DWORD(std::strtoul(text, nullptr, 10)) : 1;
}

inline std::u16string GenerationText(DWORD generation) { return plat::Format(u"G%08lu", generation); }

// Three linked nodes ("7.0", "7.1", "7.2") whose flags, times and texts
// carry the generation.
inline std::array<DeviceNode, kHistoryNodes> HistoryGeneration(DWORD generation) {
    std::array<DeviceNode, kHistoryNodes> nodes{};
    const std::u16string text = GenerationText(generation);
    for (std::size_t i = 0; i < kHistoryNodes; ++i) {
        DeviceNode& n = nodes[i];
        n.deviceType = 7;
        n.deviceNumber = DWORD(i);
        n.flags = generation;
        n.collectTime = WORD(generation);
        n.extendedTestTime = WORD(generation >> 16);
        text.copy(n.serial, kSerialChars - 1);
        text.copy(n.model, kModelChars - 1);
        n.next = i + 1 < kHistoryNodes ? &nodes[i + 1] : nullptr;
    }
    return nodes;
}

// The generation a stored node carries; 0 when its fields disagree.
inline DWORD NodeGeneration(const DeviceNode& n) {
    const DWORD generation = n.flags;
    const bool whole = n.collectTime == WORD(generation) && n.extendedTestTime == WORD(generation >> 16) &&
                       std::u16string(n.serial) == GenerationText(generation) &&
                       std::u16string(n.model) == GenerationText(generation);
    return whole ? generation : 0;
}

inline GuiSettings SettingsGeneration(DWORD generation) {
    GuiSettings s;
    for (const settings::BinField& field : settings::kBinLayout) {
        if (field.wide) s.*field.wide = generation;
        else s.*field.narrow = BYTE(generation);
    }
    s.Placement.flags = generation;
    s.Placement.showCmd = generation;
    s.Placement.rcNormalPosition = {LONG(generation), LONG(generation), LONG(generation), LONG(generation)};
    return s;
}

}  // namespace crashsafety
