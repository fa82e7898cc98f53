#include "LogDump.h"

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

constexpr const char* kUsage = "usage: lumetra-logdump FILE [--scramble N]\n";

struct Options {
    std::string file;
    unsigned scramble = CLog::kDefaultScrambleCount;
};

std::optional<Options> ParseArgs(const std::vector<std::string>& args) {
    Options options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--scramble" && i + 1 < args.size()) {
            const std::string& n = args[++i];
            const auto [end, ec] = std::from_chars(n.data(), n.data() + n.size(), options.scramble);
            if (ec != std::errc() || end != n.data() + n.size()) return std::nullopt;
        } else if (options.file.empty() && !args[i].starts_with("--")) {
            options.file = args[i];
        } else {
            return std::nullopt;
        }
    }
    if (options.file.empty()) return std::nullopt;
    return options;
}

std::string TextLine(const logging::DecodedRecord& record) {
    const std::u16string line = logging::FormatLine(record.time, record.level, logging::FromMultibyte(record.category),
                                                    logging::FromMultibyte(record.message));
    return logging::ToMultibyte(line, std::string::npos);
}

}  // namespace

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const auto options = ParseArgs(args);
    if (!options) {
        err << kUsage;
        return 1;
    }
    std::ifstream in(options->file, std::ios::binary);
    if (!in) {
        err << "lumetra-logdump: cannot open " << options->file << "\n";
        return 1;
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
            return 0;
        case logging::ReadStatus::Truncated:
            err << "lumetra-logdump: " << options->file << ": truncated record at offset " << reader.Offset() << "\n";
            return 2;
        case logging::ReadStatus::Malformed:
            err << "lumetra-logdump: " << options->file << ": no log record at offset " << reader.Offset() << "\n";
            return 2;
        }
    }
}

}  // namespace logdump
