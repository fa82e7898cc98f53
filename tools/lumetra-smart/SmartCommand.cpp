#include "SmartCommand.h"

#include <charconv>
#include <utility>

#include "smart/SmartRecords.h"

namespace {

struct VerbSpelling {
    const char* word;
    SmartVerb verb;
    bool takesDrive;
};

constexpr VerbSpelling kVerbs[] = {
    {"list", SmartVerb::List, false},  {"show", SmartVerb::Show, true}, {"health", SmartVerb::Health, true},
    {"test", SmartVerb::Test, true},   {"abort", SmartVerb::Abort, true}, {"log", SmartVerb::Log, true},
    {"help", SmartVerb::Help, false},
};

// The word after the drive of `test` and `log`, with its value.
constexpr std::pair<const char*, DWORD> kTestTypes[] = {{"short", SMART_TEST_SHORT},
                                                        {"extended", SMART_TEST_EXTENDED}};
constexpr std::pair<const char*, DWORD> kLogSelectors[] = {{"error", SMART_LOG_ERROR},
                                                           {"selftest", SMART_LOG_SELFTEST}};

template <std::size_t N>
std::optional<DWORD> Choice(const std::pair<const char*, DWORD> (&choices)[N], const std::string& word) {
    for (const auto& [name, value] : choices) {
        if (word == name) return value;
    }
    return std::nullopt;
}

std::optional<unsigned> Index(const std::string& text) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return value;
}

std::optional<SmartCommand> Fail(std::string& error, std::string text) {
    error = std::move(text);
    return std::nullopt;
}

}  // namespace

std::optional<SmartCommand> ParseSmartCommand(const std::vector<std::string>& args, std::string& error) {
    SmartCommand command;
    // Help wins wherever it stands, whatever else the line holds.
    for (const std::string& a : args) {
        if (a == "--help" || a == "-h") command.verb = SmartVerb::Help;
    }
    if (command.verb == SmartVerb::Help) return command;
    std::vector<std::string> words;
    for (const std::string& a : args) {
        if (a == "--json") command.json = true;
        else if (a.starts_with("-")) return Fail(error, "unknown option " + a);
        else words.push_back(a);
    }
    if (words.empty()) return command;

    const VerbSpelling* verb = nullptr;
    for (const VerbSpelling& v : kVerbs) {
        if (words[0] == v.word) verb = &v;
    }
    if (!verb) return Fail(error, "unknown command " + words[0]);
    command.verb = verb->verb;
    const bool needsChoice = command.verb == SmartVerb::Test || command.verb == SmartVerb::Log;
    const std::size_t expected = 1 + (verb->takesDrive ? 1 : 0) + (needsChoice ? 1 : 0);
    if (words.size() != expected) return Fail(error, "wrong number of arguments for " + words[0]);
    if (verb->takesDrive) {
        const std::optional<unsigned> drive = Index(words[1]);
        if (!drive) return Fail(error, "not a drive index: " + words[1]);
        command.drive = *drive;
    }
    if (needsChoice) {
        const std::optional<DWORD> choice =
            command.verb == SmartVerb::Test ? Choice(kTestTypes, words[2]) : Choice(kLogSelectors, words[2]);
        if (!choice) return Fail(error, "unknown " + std::string(words[0]) + " kind " + words[2]);
        command.argument = *choice;
    }
    return command;
}

std::string SmartUsage() {
    return "usage: lumetra-smart [--json] [COMMAND]\n"
           "  list                        the drives the S.M.A.R.T. service knows (default)\n"
           "  show DRIVE                  identity, capabilities, attributes and counters\n"
           "  health DRIVE                the drive's health (exit code 4 when failing)\n"
           "  test DRIVE short|extended   run a self-test and follow it to its end\n"
           "  abort DRIVE                 abort a running self-test\n"
           "  log DRIVE error|selftest    read the drive's error or self-test log\n"
           "  help, --help                this text\n"
           "DRIVE is the index `list` prints. Exit codes: 0 done, 1 service not running\n"
           "or connection refused, 2 bad command line or no such drive, 3 the drive or\n"
           "the service refused the operation, 4 the drive predicts a failure.\n"
           "The service's port is 50350 or LUMETRA_SMART_PORT.\n";
}
