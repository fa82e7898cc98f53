// The command line of lumetra-smart:
//   lumetra-smart [--json] [list]
//   lumetra-smart [--json] show|health|abort DRIVE
//   lumetra-smart [--json] test DRIVE short|extended
//   lumetra-smart [--json] log DRIVE error|selftest
//   lumetra-smart help | --help
// DRIVE is the index `list` prints. --help anywhere asks for the usage.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/wintypes.h"

enum class SmartVerb { List, Show, Health, Test, Abort, Log, Help };

struct SmartCommand {
    SmartVerb verb = SmartVerb::List;
    bool json = false;
    unsigned drive = 0;
    DWORD argument = 0;  // self-test type or log selector
};

// The command, or nothing with `error` set for a bad command line.
std::optional<SmartCommand> ParseSmartCommand(const std::vector<std::string>& args, std::string& error);
std::string SmartUsage();
