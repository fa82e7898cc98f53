// The cost of storing the GUI's settings, which the LED window does on every
// mouse move over it: a save of unchanged settings (what almost every move
// asks for) through the program's writer, which skips it, and through the
// plain save, which opens the key; a save with one field changed; and the
// load at start. Under a private LUMETRA_ROOT.
//
// usage: bench_lumex_settings [iterations]
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "SettingsStore.h"
#include "registry/registry.h"

namespace {

// Mouse moves arrive at up to about 125 per second; one save per move
// should stay well under a percent of a core.
constexpr double kUnchangedGoalUs = 50;

double MicrosecondsEach(int iterations, const std::function<void(int)>& body) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < iterations; ++i) body(i);
    const std::chrono::duration<double, std::micro> elapsed = std::chrono::steady_clock::now() - start;
    return elapsed.count() / iterations;
}

void Print(const char* what, double us, double goal = 0) {
    if (goal > 0) std::printf("%-38s %9.2f us each   (goal: at most %.0f us)\n", what, us, goal);
    else std::printf("%-38s %9.2f us each\n", what, us);
}

}  // namespace

int main(int argc, char** argv) {
    const int iterations = argc > 1 ? std::atoi(argv[1]) : 5000;
    char pattern[] = "/tmp/lumetra-bench-XXXXXX";
    const std::string root = mkdtemp(pattern);
    setenv("LUMETRA_ROOT", root.c_str(), 1);

    GuiSettings s = settings::Defaults(u"English");
    if (!settings::SaveSettings(s)) {
        std::fprintf(stderr, "bench_lumex_settings: cannot store the settings under %s\n", root.c_str());
        return 1;
    }
    std::printf("settings, %d iterations per figure, store in %s\n", iterations, root.c_str());
    settings::SettingsWriter writer;
    writer.Save(s);
    Print("save, nothing changed (a mouse move)", MicrosecondsEach(iterations, [&](int) { writer.Save(s); }),
          kUnchangedGoalUs);
    Print("plain save, nothing changed", MicrosecondsEach(iterations, [&](int) { settings::SaveSettings(s); }));
    Print("save, one field changed", MicrosecondsEach(iterations, [&](int i) {
              s.Placement.rcNormalPosition.left = i;
              writer.Save(s);
          }));
    Print("load", MicrosecondsEach(iterations, [&](int) { settings::LoadSettings(s, nullptr); }));
    // Where a save's time goes: the key is opened once per save.
    Print("of which: opening the key and closing it", MicrosecondsEach(iterations, [&](int) {
              HKEY key = nullptr;
              RegOpenKeyExW(HKEY_CURRENT_USER, settings::kSettingsKey, 0, KEY_ALL_ACCESS, &key);
              RegCloseKey(key);
          }));
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
    return 0;
}
