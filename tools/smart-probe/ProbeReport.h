// The two layouts smart-probe prints: JSON for programs and tests, a table
// for people.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "smart/SmartRecords.h"

struct ProbedDevice {
    const SmartDevice* record = nullptr;
    std::vector<std::pair<std::string, bool>> results;  // operation name, result
};

std::string JsonReport(const std::vector<ProbedDevice>& devices);
std::string TextReport(const std::vector<ProbedDevice>& devices);
