// Command line of smart-probe: which operations to run, on which devices,
// and how to print the result.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ProbeSelfTest.h"
#include "smart/CSmart.h"

struct ProbeOperation {
    const char* option;  // command-line spelling, without "--"
    const char* name;    // key in the report
    const char* help;
    bool (CSmart::*call)(SmartDevice*);
};

// The operations in the order --help lists them.
const std::vector<ProbeOperation>& ProbeOperations();

struct ProbeOptions {
    bool json = false;
    bool help = false;
    std::optional<unsigned> device;          // index in the discovered list
    std::vector<const ProbeOperation*> run;  // in command-line order
    ProbeTestOptions test;                   // run after the operations
};

// Returns the options, or an error text for a bad command line.
std::optional<ProbeOptions> ParseProbeOptions(const std::vector<std::string>& args, std::string& error);
std::string ProbeUsage();
