#include "base/program_path.h"

#include <unistd.h>

#include <cstdlib>
#include <sstream>

namespace plat {

bool ProgramOnPath(const std::string& name) {
    if (name.empty() || name.find('/') != std::string::npos) return false;
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "");
    for (std::string dir; std::getline(dirs, dir, ':');)
        if (!dir.empty() && access((dir + "/" + name).c_str(), X_OK) == 0) return true;
    return false;
}

}  // namespace plat
