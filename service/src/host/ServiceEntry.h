// The service program's process entry, apart from the objects it runs.
//
// The program holds its process-wide objects as globals of one translation
// unit, defined in this order (C++ destroys them in the reverse order):
//   1. the two logs (CLog): the service log and the access-rights log;
//   2. the service object (CNTService), given the server adapter;
//   3. the socket server (CSocketServer) and its ServerControl adapter;
//   4. the request dispatcher (CSmartMarshalingServer, the engine).
// So at exit the engine goes first, after Execute has stopped the socket
// server and ServiceMain has reported the stop: its shutdown work (aborting
// self-tests, saving the history) runs with no client connected. The logs
// are created first and destroyed last, so everything that writes to them
// during its own destruction still finds them alive.
#pragma once

#include <string>
#include <vector>

#include "NTService.h"
#include "log/Log.h"

inline constexpr char16_t kServiceName[] = u"Zelmor Lumetra";

// Runs the entry with `args` (args[0] is the program):
//  1. initialises `service_log` ("Zelmor Lumetra", no event log, level 0,
//     thread prefix on); on failure returns 0 at once;
//  2. sets the locale from the environment;
//  3. with any argument, runs ProcessCommandLine and returns 0;
//  4. without: runs the dispatcher when the service is installed, else
//     Execute in the foreground until SIGTERM or SIGINT;
//  5. returns the status record's Win32 exit code as the process's exit
//     status (ProcessExitStatus).
// A dispatcher that refuses to run the service (another process runs it, it
// is disabled) is reported on stderr and ends the process with that error.
int RunServiceProcess(CNTService& service, CLog& service_log, const std::vector<std::u16string>& args);

// An exit status holds 8 bits: a Win32 code up to 255 is kept, a larger one
// becomes 1 (the status record keeps the whole code), so a failure never
// reads as success.
int ProcessExitStatus(DWORD win32_exit_code);

// The same from main's arguments (UTF-8).
int RunServiceProcess(CNTService& service, CLog& service_log, int argc, char** argv);
