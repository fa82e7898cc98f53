// store_writer history|settings: saves generation after generation into the
// stores of $LUMETRA_ROOT, as the service saves its history and the GUI its
// settings, until it is killed. Every field of a generation carries its
// number (GenerationRecords.h), so a reader can tell a whole value from a
// torn one. Prints "ready" once the first generation is stored.
#include <cstdio>
#include <cstring>

#include "GenerationRecords.h"
#include "SettingsStore.h"
#include "engine/HistoryStore.h"
#include "registry/registry.h"

int main(int argc, char** argv) {
    if (argc != 2 || (std::strcmp(argv[1], "history") != 0 && std::strcmp(argv[1], "settings") != 0)) {
        std::fprintf(stderr, "usage: store_writer history|settings\n");
        return 2;
    }
    const bool history = std::strcmp(argv[1], "history") == 0;
    HKEY product = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, history::kProductKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &product,
                        nullptr) != ERROR_SUCCESS)
        return 3;
    RegCloseKey(product);
    for (DWORD generation = crashsafety::StartGeneration();; ++generation) {
        if (history) {
            auto nodes = crashsafety::HistoryGeneration(generation);
            if (!history::Save(history::kHistoryKey, &nodes[0])) return 3;
        } else if (!settings::SaveSettings(crashsafety::SettingsGeneration(generation))) {
            return 3;
        }
        if (generation == crashsafety::StartGeneration()) {
            std::puts("ready");
            std::fflush(stdout);
        }
    }
}
