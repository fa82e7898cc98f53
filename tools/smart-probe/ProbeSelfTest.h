// smart-probe's self-test, log and history options, and the self-test
// runner: it starts a test, polls it to its end (or aborts it after a given
// time) and prints each poll.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "smart/CSmart.h"

struct ProbeTestOptions {
    std::optional<DWORD> selfTest;       // SMART_TEST_*
    unsigned pollSeconds = 10;
    std::optional<unsigned> abortAfter;  // seconds after the start
    std::optional<DWORD> log;            // SMART_LOG_*
    bool keepHistory = false;
};

// Handles args[i] (and its value) when it is one of these options: true and
// i moved past it, or false with `error` set for a bad value. Not one of
// them: false with `error` empty.
bool ParseTestOption(const std::vector<std::string>& args, std::size_t& i, ProbeTestOptions& options,
                     std::string& error);
std::string TestOptionsUsage();

// Waits the given seconds (the clock's Sleep in the tool; tests advance a
// manual clock instead).
using ProbeWait = std::function<void(unsigned seconds)>;

// Runs the test of `options` on one drive and prints every poll to `out`:
// the seconds since the start, the remaining seconds and the status byte.
// True when the test ran to its end with status 0, or was aborted as asked.
bool RunSelfTest(CSmart& engine, SmartDevice* device, const ProbeTestOptions& options, const ProbeWait& wait,
                 std::string& out);

// Reads the log of `options` and prints it as hex; the self-test results page
// also as decoded entries.
bool PrintLog(CSmart& engine, SmartDevice* device, DWORD selector, std::string& out);
