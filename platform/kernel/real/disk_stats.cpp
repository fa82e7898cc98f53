#include "kernel/real/disk_stats.h"

#include <algorithm>
#include <charconv>

#include "kernel/real/text_fields.h"

namespace kern::real {
namespace {

// Field n (1-based, as the kernel's documentation counts them), 0 if absent.
std::uint64_t Field(const std::vector<std::string_view>& words, std::size_t n) {
    std::uint64_t value = 0;
    if (n <= words.size()) ToNumber(words[n - 1], &value);
    return value;
}

// The device number that opens a line ("   8      17 sdb1 ..."); false
// when the line does not start with two numbers.
bool DeviceNumberOf(std::string_view line, std::uint32_t* major, std::uint32_t* minor) {
    const char* p = line.data();
    const char* const end = p + line.size();
    for (std::uint32_t* n : {major, minor}) {
        while (p < end && (*p == ' ' || *p == '\t')) ++p;
        const auto r = std::from_chars(p, end, *n);
        if (r.ec != std::errc()) return false;
        p = r.ptr;
    }
    return true;
}

}  // namespace

std::vector<DiskStats> ParseDiskStats(std::string_view text,
                                      const std::function<bool(std::uint32_t, std::uint32_t)>& wanted) {
    std::vector<DiskStats> stats;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        std::uint32_t major = 0, minor = 0;
        if (wanted && (!DeviceNumberOf(line, &major, &minor) || !wanted(major, minor))) continue;
        const auto words = SplitFields(line);
        DiskStats s;
        // major minor name, then at least the eleven classic counters
        if (words.size() < 14 || !ToNumber(words[0], &s.major) || !ToNumber(words[1], &s.minor)) continue;
        s.name = std::string(words[2]);
        s.reads = Field(words, 4);
        s.writes = Field(words, 8);
        s.in_progress = Field(words, 12);
        s.discards = Field(words, 15);
        s.flushes = Field(words, 19);
        stats.push_back(std::move(s));
    }
    return stats;
}

std::optional<InFlight> ParseInFlight(std::string_view text) {
    const auto words = SplitFields(text.substr(0, std::min(text.find('\n'), text.size())));
    InFlight f;
    if (words.size() != 2 || !ToNumber(words[0], &f.reads) || !ToNumber(words[1], &f.writes)) return std::nullopt;
    return f;
}

}  // namespace kern::real
