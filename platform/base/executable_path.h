// The full path of the running program (/proc/self/exe), the answer Windows
// gives to GetModuleFileNameW for the executable.
#pragma once

#include <string>

namespace plat {

// Empty when the path cannot be read.
std::u16string ExecutablePath();

}  // namespace plat
