// What lumetra-smart does with a parsed command: connect to the S.M.A.R.T.
// service through CSmartHandler, run the command on the drive it names and
// print the outcome, as text or (--json) as one JSON document.
#pragma once

#include <ostream>

#include "SmartCommand.h"

// 2 for a bad command line, as the other tools have it.
enum SmartExitCode {
    kExitDone = 0,
    kExitNoService = 1,
    kExitUsage = 2,
    kExitRefused = 3,
    kExitFailing = 4,
};

// Runs `command`; `port` is the service's. Returns the exit code.
int RunSmartCommand(const SmartCommand& command, WORD port, std::ostream& out, std::ostream& err);
