#include "ProbeSelfTest.h"

#include <memory>

#include "base/format.h"

namespace {

constexpr const char* kTestNames[] = {"offline", "short", "extended", "conveyance"};
constexpr const char* kLogNames[] = {"error", "selftest"};
constexpr unsigned kMaxPollSeconds = 3600;
constexpr unsigned kFailedPollsToGiveUp = 3;

// The index of `value` in `names`, or a number below `count`.
template <std::size_t N>
std::optional<DWORD> NameOrNumber(const std::string& value, const char* const (&names)[N]) {
    for (std::size_t i = 0; i < N; ++i) {
        if (value == names[i] || value == std::to_string(i)) return static_cast<DWORD>(i);
    }
    return std::nullopt;
}

std::optional<unsigned> Seconds(const std::string& value, unsigned min) {
    try {
        std::size_t used = 0;
        const unsigned long n = std::stoul(value, &used);
        if (used != value.size() || n < min || n > kMaxPollSeconds) return std::nullopt;
        return static_cast<unsigned>(n);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::string StatusText(BYTE status) {
    const BYTE code = SelfTestStatusCode(status);
    if (code == SMART_TEST_STATUS_RUNNING) {
        // Without the drive's tenths (it was not read) there is no progress.
        if (SelfTestRemainingTenths(status) == 0) return "running";
        return plat::Format("running, %d%% done", SelfTestPercentDone(status));
    }
    return plat::Format("ended with status %u", unsigned(code));
}

std::string HexDump(const BYTE* data, std::size_t length) {
    std::string out;
    for (std::size_t row = 0; row < length; row += 16) {
        out += plat::Format("    %04X ", unsigned(row));
        for (std::size_t i = row; i < row + 16 && i < length; ++i) out += plat::Format(" %02X", unsigned(data[i]));
        out += "\n";
    }
    return out;
}

unsigned Be(const BYTE* p, std::size_t n) {
    unsigned v = 0;
    for (std::size_t i = 0; i < n; ++i) v = (v << 8) | p[i];
    return v;
}

// The entries of a self-test results page (SPC-4 log page 0x10), newest
// first, as far as the page length and the block reach. Unused entries (all
// zero) are left out.
std::string DecodeSelfTestPage(const BYTE* page, std::size_t blockSize) {
    std::string out;
    const std::size_t end = std::min<std::size_t>(4 + Be(page + 2, 2), blockSize);
    for (std::size_t at = 4; at + 4 <= end;) {
        const BYTE* p = page + at;
        const std::size_t length = p[3];
        if (at + 4 + length > end) break;
        if (length >= 16 && (p[4] || p[5] || Be(p + 6, 2) || Be(p + 8, 4) || Be(p + 12, 4))) {
            out += plat::Format("    #%u  code %u  result %u  segment %u  hours %u  first failure 0x%08X%08X  "
                                "sense %X/%02X/%02X\n",
                                Be(p, 2), unsigned(p[4] >> 5), unsigned(p[4] & 0x0F), unsigned(p[5]), Be(p + 6, 2),
                                Be(p + 8, 4), Be(p + 12, 4), unsigned(p[16] & 0x0F), unsigned(p[17]),
                                unsigned(p[18]));
        }
        at += 4 + length;
    }
    return out;
}

}  // namespace

bool ParseTestOption(const std::vector<std::string>& args, std::size_t& i, ProbeTestOptions& options,
                     std::string& error) {
    error.clear();
    const std::string& a = args[i];
    if (a == "--keep-history") {
        options.keepHistory = true;
        return true;
    }
    if (a != "--self-test" && a != "--poll-interval" && a != "--abort-after" && a != "--log") return false;
    if (i + 1 == args.size()) {
        error = a + " needs a value";
        return false;
    }
    const std::string& value = args[++i];
    bool ok = true;
    if (a == "--self-test") {
        options.selfTest = NameOrNumber(value, kTestNames);
        ok = options.selfTest.has_value();
    } else if (a == "--log") {
        options.log = NameOrNumber(value, kLogNames);
        ok = options.log.has_value();
    } else if (a == "--poll-interval") {
        const auto s = Seconds(value, 1);
        if (s) options.pollSeconds = *s;
        ok = s.has_value();
    } else {
        options.abortAfter = Seconds(value, 0);
        ok = options.abortAfter.has_value();
    }
    if (!ok) error = a + ": bad value \"" + value + "\"";
    return ok;
}

std::string TestOptionsUsage() {
    return "Self-tests, logs and history:\n"
           "  --self-test TYPE      run offline, short, extended or conveyance (or 0-3)\n"
           "                        after the operations and poll it to its end\n"
           "  --poll-interval S     seconds between polls (default 10, 1 to 3600)\n"
           "  --abort-after S       abort the test at the first poll S seconds after\n"
           "                        its start\n"
           "  --log error|selftest  read a SCSI log page and print it as hex (the\n"
           "                        self-test page also as entries)\n"
           "  --keep-history        read the stored drives before the discovery and\n"
           "                        store them at the end, as the service does\n"
           "                        (default: the history is left alone)\n";
}

bool RunSelfTest(CSmart& engine, SmartDevice* device, const ProbeTestOptions& options, const ProbeWait& wait,
                 std::string& out) {
    const DWORD type = *options.selfTest;
    if (!engine.ExecuteSelfTest(device, type)) {
        out += plat::Format("    self-test %s: could not start\n", kTestNames[type]);
        return false;
    }
    out += plat::Format("    self-test %s started\n", kTestNames[type]);
    unsigned failedPolls = 0;
    for (unsigned elapsed = 0;; elapsed += options.pollSeconds, wait(options.pollSeconds)) {
        if (options.abortAfter && elapsed >= *options.abortAfter) {
            const bool aborted = engine.AbortSelfTest(device);
            out += plat::Format("    %6us  abort %s\n", elapsed, aborted ? "ok" : "failed");
            if (aborted) return true;
        }
        DWORD remaining = 0;
        BYTE status = 0;
        if (!engine.ReadSelfTestData(device, &remaining, &status)) {
            out += plat::Format("    %6us  poll failed\n", elapsed);
            if (++failedPolls == kFailedPollsToGiveUp) return false;
            continue;
        }
        failedPolls = 0;
        out += plat::Format("    %6us  remaining %5lus  status 0x%02X  %s\n", elapsed, remaining, unsigned(status),
                            StatusText(status));
        if (SelfTestStatusCode(status) != SMART_TEST_STATUS_RUNNING) {
            return SelfTestStatusCode(status) == SMART_TEST_STATUS_COMPLETED;
        }
    }
}

bool PrintLog(CSmart& engine, SmartDevice* device, DWORD selector, std::string& out) {
    BYTE* raw = nullptr;
    if (!engine.ReadLog(device, selector, &raw)) {
        out += plat::Format("    log %s: not available\n", kLogNames[selector]);
        return false;
    }
    const std::unique_ptr<BYTE[]> block(raw);
    const std::size_t length = std::min<std::size_t>(4 + Be(raw + 2, 2), kSmartLogBlockSize);
    out += plat::Format("    log %s: page 0x%02X, %u bytes\n", kLogNames[selector], unsigned(raw[0] & 0x3F),
                        unsigned(length));
    out += HexDump(raw, length);
    if (selector == SMART_LOG_SELFTEST) out += DecodeSelfTestPage(raw, kSmartLogBlockSize);
    return true;
}
