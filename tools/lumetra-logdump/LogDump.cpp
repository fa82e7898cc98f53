#include "LogDump.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iterator>
#include <optional>

#include "log/BinaryRecordReader.h"
#include "log/Log.h"
#include "log/LogLine.h"
#include "log/Multibyte.h"

namespace logdump {

namespace {

constexpr const char* kUsage =
    "usage: lumetra-logdump FILE [--scramble N]\n"
    "Prints a binary log file as text lines. N is the scramble count the file was\n"
    "written with (default: the GUI's; 0 for a file written without scrambling).\n"
    "Exit status: 0 done, 1 the file cannot be read, 2 bad command line, 3 the\n"
    "file is cut short or holds something that is not a record.\n";

enum Exit { kExitDone = 0, kExitUnreadable = 1, kExitUsage = 2, kExitDamaged = 3 };

bool IsHelp(const std::string& arg) { return arg == "--help" || arg == "-h"; }

struct Options {
    std::string file;
    unsigned scramble = CLog::kDefaultScrambleCount;
};

// The options, or nothing with `complaint` saying what is wrong.
std::optional<Options> ParseArgs(const std::vector<std::string>& args, std::string& complaint) {
    Options options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--scramble") {
            const std::string n = i + 1 < args.size() ? args[++i] : std::string();
            const auto [end, ec] = std::from_chars(n.data(), n.data() + n.size(), options.scramble);
            if (n.empty() || ec != std::errc() || end != n.data() + n.size()) {
                complaint = "--scramble needs a count";
                return std::nullopt;
            }
        } else if (args[i].starts_with("-")) {
            complaint = "unknown option " + args[i];
            return std::nullopt;
        } else if (options.file.empty()) {
            options.file = args[i];
        } else {
            complaint = "one FILE only";
            return std::nullopt;
        }
    }
    if (options.file.empty()) {
        complaint = "no FILE given";
        return std::nullopt;
    }
    return options;
}

std::string TextLine(const logging::DecodedRecord& record) {
    const std::u16string line = logging::FormatLine(record.time, record.level, logging::FromMultibyte(record.category),
                                                    logging::FromMultibyte(record.message));
    return logging::ToMultibyte(line, std::string::npos);
}

}  // namespace

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (std::any_of(args.begin(), args.end(), IsHelp)) {
        out << kUsage;
        return kExitDone;
    }
    std::string complaint;
    const auto options = ParseArgs(args, complaint);
    if (!options) {
        err << "lumetra-logdump: " << complaint << "\n" << kUsage;
        return kExitUsage;
    }
    std::ifstream in(options->file, std::ios::binary);
    if (!in) {
        err << "lumetra-logdump: cannot open " << options->file << "\n";
        return kExitUnreadable;
    }
    const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    logging::BinaryRecordReader reader(std::span(reinterpret_cast<const BYTE*>(data.data()), data.size()),
                                       options->scramble);
    logging::DecodedRecord record;
    for (;;) {
        switch (reader.Next(record)) {
        case logging::ReadStatus::Record:
            out << TextLine(record) << "\n";
            continue;
        case logging::ReadStatus::End:
            return kExitDone;
        case logging::ReadStatus::Truncated:
            err << "lumetra-logdump: " << options->file << ": truncated record at offset " << reader.Offset() << "\n";
            return kExitDamaged;
        case logging::ReadStatus::Malformed:
            err << "lumetra-logdump: " << options->file << ": no log record at offset " << reader.Offset() << "\n";
            return kExitDamaged;
        }
    }
}

}  // namespace logdump
