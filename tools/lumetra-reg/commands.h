// The four commands of lumetra-reg. Each prints its result on stdout, its
// complaint on stderr, and returns the process exit code.
#pragma once

#include <optional>
#include <string>

#include "key_target.h"
#include "value_text.h"

enum ExitCode { kExitOk = 0, kExitMissing = 1, kExitUsage = 2, kExitFailed = 3 };

int QueryCommand(const KeyTarget& target, const std::optional<std::u16string>& name);
int SetCommand(const KeyTarget& target, const std::u16string& name, const ValueData& value, bool make_volatile);
// Creates the key and any missing keys above it; an existing key is fine.
int CreateCommand(const KeyTarget& target, bool make_volatile);
int DeleteCommand(const KeyTarget& target, const std::optional<std::u16string>& name);
int ExportCommand(const KeyTarget& target);
