// What lumetra-smart does with a parsed command: connect to the S.M.A.R.T.
// service through CSmartHandler, run the command on the drive it names and
// print the outcome, as text or (--json) as one JSON document.
#pragma once

#include <ostream>

#include "SmartCommand.h"

enum SmartExitCode {
    kExitDone = 0,
    kExitUsage = 1,
    kExitNoService = 2,
    kExitRefused = 3,
    kExitFailing = 4,
};

// Runs `command`; `port` is the service's. Returns the exit code.
int RunSmartCommand(const SmartCommand& command, WORD port, std::ostream& out, std::ostream& err);
