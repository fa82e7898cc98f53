// Whether a program can be started by name: an executable file of that name
// in one of the directories of PATH.
#pragma once

#include <string>

namespace plat {

bool ProgramOnPath(const std::string& name);

}  // namespace plat
