#include "process/html_help.h"

#include <algorithm>
#include <filesystem>

#include "base/last_error.h"
#include "base/text.h"
#include "base/win_errors.h"
#include "process/create_process.h"

namespace plat::process {

std::string HelpTarget(const std::u16string& file_and_topic, const std::string& program_dir) {
    std::string spec = Utf16ToUtf8(file_and_topic);
    std::replace(spec.begin(), spec.end(), '\\', '/');
    const std::size_t split = spec.find("::");
    std::filesystem::path file = spec.substr(0, split);
    std::string topic = split == std::string::npos ? "" : spec.substr(split + 2);
    while (!topic.empty() && topic.front() == '/') topic.erase(0, 1);
    if (file.is_relative()) file = std::filesystem::path(program_dir) / file;
    const std::filesystem::path html_dir = file.parent_path() / file.stem();
    std::error_code ec;
    if (std::filesystem::is_directory(html_dir, ec))
        return "file://" + (html_dir / (topic.empty() ? "index.htm" : topic)).string();
    return file.string();
}

}  // namespace plat::process

HWND HtmlHelpW(HWND caller, LPCWSTR file_and_topic, UINT command, std::uintptr_t) {
    using namespace plat::process;
    if (command != HH_DISPLAY_TOPIC || !file_and_topic || !*file_and_topic) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!CurrentDesktop().hasProgram("xdg-open") ||
        Launch({"xdg-open", HelpTarget(file_and_topic, exe.parent_path().string())}) == 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    return caller ? caller : reinterpret_cast<HWND>(std::uintptr_t(1));
}
