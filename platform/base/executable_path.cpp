#include "base/executable_path.h"

#include <filesystem>

#include "base/text.h"

namespace plat {

std::u16string ExecutablePath() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::u16string() : Utf8ToUtf16(exe.string());
}

}  // namespace plat
