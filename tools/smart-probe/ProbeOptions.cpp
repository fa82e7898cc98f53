#include "ProbeOptions.h"

#include <stdexcept>

#include "base/format.h"

const std::vector<ProbeOperation>& ProbeOperations() {
    static const std::vector<ProbeOperation> kOperations = {
        {"enable", "enable", "switch S.M.A.R.T. on", &CSmart::EnableSmart},
        {"disable", "disable", "switch S.M.A.R.T. off", &CSmart::DisableSmart},
        {"capabilities", "capabilities", "read what the drive supports and its test times (once)",
         &CSmart::ReadCapabilities},
        {"attributes", "attributes", "read attribute values, thresholds and counters", &CSmart::ReadAttributes},
        {"status", "status", "read the health", &CSmart::ReadStatus},
        {"autosave-on", "autosave_on", "switch attribute autosave on", &CSmart::EnableAutosave},
        {"autosave-off", "autosave_off", "switch attribute autosave off", &CSmart::DisableAutosave},
        {"auto-offline-on", "auto_offline_on", "switch automatic off-line collection on",
         &CSmart::EnableAutoOffline},
        {"auto-offline-off", "auto_offline_off", "switch automatic off-line collection off",
         &CSmart::DisableAutoOffline},
    };
    return kOperations;
}

namespace {

const ProbeOperation* FindOperation(const std::string& option) {
    for (const ProbeOperation& op : ProbeOperations()) {
        if (option == std::string("--") + op.option) return &op;
    }
    return nullptr;
}

void AddReadAll(ProbeOptions& options) {
    for (const char* option : {"--capabilities", "--attributes", "--status"}) {
        options.run.push_back(FindOperation(option));
    }
}

}  // namespace

std::optional<ProbeOptions> ParseProbeOptions(const std::vector<std::string>& args, std::string& error) {
    ProbeOptions options;
    // Help wins wherever it stands, whatever else the line holds.
    for (const std::string& a : args) options.help = options.help || a == "--help" || a == "-h";
    if (options.help) return options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--json") {
            options.json = true;
        } else if (a == "--all") {
            AddReadAll(options);
        } else if (a == "--device") {
            if (i + 1 == args.size()) {
                error = "--device needs an index";
                return std::nullopt;
            }
            try {
                std::size_t used = 0;
                const unsigned long index = std::stoul(args[++i], &used);
                if (used != args[i].size()) throw std::invalid_argument("trailing text");
                options.device = static_cast<unsigned>(index);
            } catch (const std::exception&) {
                error = "--device needs a number, got \"" + args[i] + "\"";
                return std::nullopt;
            }
        } else if (const ProbeOperation* op = FindOperation(a)) {
            options.run.push_back(op);
        } else if (ParseTestOption(args, i, options.test, error)) {
            continue;
        } else if (!error.empty()) {
            return std::nullopt;
        } else {
            error = "unknown option \"" + a + "\"";
            return std::nullopt;
        }
    }
    return options;
}

std::string ProbeUsage() {
    std::string text =
        "usage: smart-probe [--json] [--device INDEX] [OPERATION...] [TEST OPTIONS]\n"
        "\n"
        "Finds the drives of the configured device backend (LUMETRA_DEVICES names a\n"
        "simulation profile; unset means the real devices), runs the operations in\n"
        "the order given on every drive, or on the drive at INDEX of the list\n"
        "(0 is the first), and prints what the engine learned.\n"
        "\n"
        "Values and health are read from a drive at most once per 300 seconds;\n"
        "--status, the autosave and auto-off-line switches and the attributes of\n"
        "SCSI drives need --capabilities earlier in the same run.\n"
        "\n"
        "Operations:\n";
    for (const ProbeOperation& op : ProbeOperations()) {
        text += plat::Format("  --%-16s %s\n", op.option, op.help);
    }
    text +=
        "  --all              the same as --capabilities --attributes --status\n"
        "\n";
    text += TestOptionsUsage();
    text +=
        "\n"
        "Output:\n"
        "  --json             one JSON document: {\"devices\": [...]}, each device with\n"
        "                     every field of its record and \"operations\", the result\n"
        "                     of each operation run (true or false)\n"
        "  (default)          a summary per drive and its attribute table; the raw\n"
        "                     value of a temperature attribute is also read as degrees\n"
        "  --help             this text\n"
        "\n"
        "Exit status: 0 when every operation succeeded, 1 when one failed or no\n"
        "drive was found, 2 for a bad command line.\n";
    return text;
}
