// lumetra-reg: query, set, delete and export registry keys and values of the
// machine (HKLM) and user (HKCU) stores. Exit codes: 0 success, 1 key or
// value missing, 2 bad usage, 3 any other failure (access denied, damaged
// store).
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/text.h"
#include "commands.h"

namespace {

constexpr const char* kUsage =
    "usage: lumetra-reg query  ROOT\\PATH [NAME]\n"
    "       lumetra-reg set    [--volatile] ROOT\\PATH NAME dword|sz|binary VALUE\n"
    "       lumetra-reg create [--volatile] ROOT\\PATH\n"
    "       lumetra-reg delete ROOT\\PATH [NAME]\n"
    "       lumetra-reg export ROOT\\PATH\n"
    "\n"
    "ROOT is HKLM (machine store) or HKCU (user store). NAME \"\" is the key's\n"
    "default value. dword takes decimal or 0x hex; sz takes text; binary takes\n"
    "hex digits (\"01 02 ff\" or \"0102ff\"). delete without NAME removes the key\n"
    "with everything below it. export prints the key and its sub keys.\n"
    "set and create --volatile create missing keys volatile: they last until the machine\n"
    "restarts (the boot id changes).\n"
    "\n"
    "Stores: $LUMETRA_ROOT/hklm and $LUMETRA_ROOT/hkcu when LUMETRA_ROOT is set,\n"
    "else /var/lib/zelmor-lumetra and $XDG_CONFIG_HOME/zelmor-lumetra.\n"
    "--help (or -h) before ROOT\\PATH prints this text.\n"
    "Exit status: 0 success, 1 key or value missing, 2 bad usage, 3 other failure.\n";

int Usage(const char* complaint) {
    if (complaint) std::fprintf(stderr, "lumetra-reg: %s\n", complaint);
    std::fputs(kUsage, stderr);
    return kExitUsage;
}

bool IsHelp(const std::string& arg) { return arg == "--help" || arg == "-h"; }

// Options stand before ROOT\PATH; names and values after it are taken as
// they are, also when they begin with "-".
std::size_t PathPosition(const std::vector<std::string>& args) {
    std::size_t i = 1;
    while (i < args.size() && args[i].starts_with("-")) ++i;
    return i;
}

int Run(std::vector<std::string> args) {
    const std::size_t path = PathPosition(args);
    if (std::any_of(args.begin(), args.begin() + std::min(path, args.size()), IsHelp)) {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    if (!args.empty() && args[0].starts_with("-")) return Usage(("unknown option " + args[0]).c_str());
    const bool make_volatile = args.size() > 1 && (args[0] == "set" || args[0] == "create") && args[1] == "--volatile";
    if (make_volatile) args.erase(args.begin() + 1);
    if (args.size() > 1 && args[1].starts_with("-")) return Usage(("unknown option " + args[1]).c_str());
    if (args.size() < 2) return Usage(args.empty() ? nullptr : "missing ROOT\\PATH");
    const std::string& command = args[0];
    const auto target = ParseKeyTarget(args[1]);
    if (!target) return Usage("ROOT must be HKLM or HKCU");
    const auto name = [&](std::size_t i) { return plat::Utf8ToUtf16(args[i]); };

    if (command == "query" && args.size() <= 3) {
        return QueryCommand(*target, args.size() == 3 ? std::optional(name(2)) : std::nullopt);
    }
    if (command == "set" && args.size() == 5) {
        const auto value = ParseValue(args[3], args[4]);
        if (!value) return Usage("bad TYPE or VALUE");
        return SetCommand(*target, name(2), *value, make_volatile);
    }
    if (command == "create" && args.size() == 2) return CreateCommand(*target, make_volatile);
    if (command == "delete" && args.size() <= 3) {
        if (args.size() == 2 && target->path.empty()) return Usage("a root itself cannot be deleted");
        return DeleteCommand(*target, args.size() == 3 ? std::optional(name(2)) : std::nullopt);
    }
    if (command == "export" && args.size() == 2) return ExportCommand(*target);
    return Usage("unknown command or wrong number of arguments");
}

}  // namespace

int main(int argc, char** argv) { return Run(std::vector<std::string>(argv + 1, argv + argc)); }
