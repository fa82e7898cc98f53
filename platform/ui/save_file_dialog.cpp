#include "ui/save_file_dialog.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <sstream>
#include <string_view>

#include "base/program_path.h"
#include "base/text.h"
#include "ui/builtin_file_chooser.h"

namespace plat::ui {
namespace {

std::mutex g_mutex;
FileChooser g_chooser;
thread_local DWORD t_error = 0;

std::string Quote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::optional<std::string> RunChooser(const std::string& command) {
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return std::nullopt;
    std::string out;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
    const int status = pclose(pipe);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    if (status != 0 || out.empty()) return std::nullopt;
    return out;
}

// nothing: no chooser on this desktop; an empty optional inside: cancelled.
ChooserOutcome DesktopChooser(const SaveRequest& r) {
    if (ProgramOnPath("zenity")) {
        std::string cmd = "zenity --file-selection --save --title=" + Quote(r.title) +
                          " --filename=" + Quote(r.defaultName);
        if (r.overwritePrompt) cmd += " --confirm-overwrite";
        for (const auto& [name, patterns] : r.filters) cmd += " --file-filter=" + Quote(name + " | " + patterns);
        return RunChooser(cmd + " 2>/dev/null");
    }
    if (ProgramOnPath("kdialog")) {
        std::string filter;
        for (const auto& [name, patterns] : r.filters) filter += (filter.empty() ? "" : "\n") + patterns + "|" + name;
        return RunChooser("kdialog --getsavefilename " + Quote(r.defaultName) + " " + Quote(filter) + " 2>/dev/null");
    }
    return std::nullopt;
}

SaveRequest RequestOf(const OPENFILENAMEW& ofn) {
    SaveRequest r;
    r.owner = ofn.hwndOwner;
    r.title = ofn.lpstrTitle ? Utf16ToUtf8(ofn.lpstrTitle) : "Save As";
    r.defaultName = ofn.lpstrFile ? Utf16ToUtf8(ofn.lpstrFile) : "";
    r.initialDir = ofn.lpstrInitialDir ? Utf16ToUtf8(ofn.lpstrInitialDir) : "";
    if (!r.initialDir.empty() && !r.defaultName.empty() && r.defaultName.find('/') == std::string::npos)
        r.defaultName = r.initialDir + "/" + r.defaultName;
    for (LPCWSTR p = ofn.lpstrFilter; p && *p;) {
        const std::u16string name = p;
        p += name.size() + 1;
        const std::u16string patterns = p;
        p += patterns.size() + 1;
        std::string list = Utf16ToUtf8(patterns);
        for (char& c : list)
            if (c == ';') c = ' ';
        r.filters.emplace_back(Utf16ToUtf8(name), list);
    }
    r.filterIndex = ofn.nFilterIndex > 0 ? ofn.nFilterIndex - 1 : 0;
    r.defaultExtension = ofn.lpstrDefExt ? Utf16ToUtf8(ofn.lpstrDefExt) : "";
    r.overwritePrompt = ofn.Flags & OFN_OVERWRITEPROMPT;
    return r;
}

bool BuiltinChosen() {
    const char* choice = std::getenv("LUMETRA_FILE_CHOOSER");
    return choice && std::string_view(choice) == "builtin";
}

ChooserOutcome Choose(const SaveRequest& request) {
    FileChooser installed;
    {
        std::lock_guard lock(g_mutex);
        installed = g_chooser;
    }
    if (installed) return ChooserOutcome(std::in_place, installed(request));
    if (!BuiltinChosen()) {
        if (auto desktop = DesktopChooser(request)) return desktop;
    }
    return RunBuiltinFileChooser(request);
}

}  // namespace

void SetFileChooser(FileChooser chooser) {
    std::lock_guard lock(g_mutex);
    g_chooser = std::move(chooser);
}

}  // namespace plat::ui

DWORD CommDlgExtendedError() { return plat::ui::t_error; }

BOOL GetSaveFileNameW(OPENFILENAMEW* ofn) {
    using namespace plat::ui;
    t_error = 0;
    if (!ofn || !ofn->lpstrFile || ofn->nMaxFile == 0) {
        t_error = CDERR_INITIALIZATION;
        return FALSE;
    }
    const ChooserOutcome outcome = Choose(RequestOf(*ofn));
    if (!outcome) {
        t_error = CDERR_INITIALIZATION;
        return FALSE;
    }
    if (!*outcome) return FALSE;  // cancelled: the extended error stays 0
    std::filesystem::path path = **outcome;
    if (ofn->lpstrDefExt && *ofn->lpstrDefExt && !path.has_extension())
        path += "." + plat::Utf16ToUtf8(ofn->lpstrDefExt);
    const std::u16string result = plat::Utf8ToUtf16(path.string());
    if (result.size() + 1 > ofn->nMaxFile) {
        t_error = FNERR_BUFFERTOOSMALL;
        return FALSE;
    }
    std::copy(result.begin(), result.end(), ofn->lpstrFile);
    ofn->lpstrFile[result.size()] = 0;
    const std::size_t slash = result.rfind(u'/');
    ofn->nFileOffset = WORD(slash == std::u16string::npos ? 0 : slash + 1);
    const std::size_t dot = result.rfind(u'.');
    ofn->nFileExtension = WORD(dot == std::u16string::npos || dot < ofn->nFileOffset ? result.size() : dot + 1);
    return TRUE;
}
