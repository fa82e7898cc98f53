#include "kernel/real/network_stats.h"

#include <algorithm>
#include <charconv>
#include <vector>

#include "kernel/real/mountinfo.h"

namespace kern::real {
namespace {

enum class OpClass { None, Read, Write };

struct OpName {
    std::string_view name;
    OpClass cls;
};

// NFS procedures (v3 and v4 names) and CIFS/SMB statistics lines.
constexpr OpName kNfsOps[] = {
    {"READ", OpClass::Read},      {"READDIR", OpClass::Read},   {"READDIRPLUS", OpClass::Read},
    {"READLINK", OpClass::Read},  {"GETATTR", OpClass::Read},   {"LOOKUP", OpClass::Read},
    {"ACCESS", OpClass::Read},    {"WRITE", OpClass::Write},    {"COMMIT", OpClass::Write},
    {"SETATTR", OpClass::Write},  {"CREATE", OpClass::Write},   {"REMOVE", OpClass::Write},
    {"RENAME", OpClass::Write},   {"MKDIR", OpClass::Write},    {"RMDIR", OpClass::Write},
    {"LINK", OpClass::Write},     {"SYMLINK", OpClass::Write},  {"ALLOCATE", OpClass::Write},
    {"DEALLOCATE", OpClass::Write},
};
constexpr OpName kCifsOps[] = {
    {"Reads", OpClass::Read},        {"QueryInfos", OpClass::Read}, {"QueryDirectories", OpClass::Read},
    {"Writes", OpClass::Write},      {"Flushes", OpClass::Write},   {"SetInfos", OpClass::Write},
};

template <std::size_t N>
OpClass ClassOf(const OpName (&table)[N], std::string_view name) {
    for (const auto& op : table)
        if (op.name == name) return op.cls;
    return OpClass::None;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// The first number in `s`, 0 when there is none.
std::uint64_t FirstNumber(std::string_view s) {
    s = Trim(s);
    std::uint64_t value = 0;
    std::from_chars(s.data(), s.data() + s.size(), value);
    return value;
}

void Add(OperationCounts* counts, OpClass cls, std::uint64_t n) {
    if (cls == OpClass::Read) counts->reads += n;
    if (cls == OpClass::Write) counts->writes += n;
}

template <typename F>
void ForEachLine(std::string_view text, F f) {
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        f(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
    }
}

}  // namespace

std::map<std::string, OperationCounts> ParseNfsMountStats(std::string_view text) {
    std::map<std::string, OperationCounts> mounts;
    OperationCounts* current = nullptr;
    bool in_ops = false;
    ForEachLine(text, [&](std::string_view line) {
        if (line.starts_with("device ")) {
            // device SOURCE mounted on POINT with fstype TYPE ...
            const std::size_t on = line.find(" mounted on ");
            const std::size_t with = line.find(" with fstype ", on == std::string_view::npos ? 0 : on);
            in_ops = false;
            current = nullptr;
            if (on == std::string_view::npos || with == std::string_view::npos) return;
            const std::string_view type = line.substr(with + 13, line.find(' ', with + 13) - (with + 13));
            if (!type.starts_with("nfs")) return;
            current = &mounts[UnescapeMountField(line.substr(on + 12, with - (on + 12)))];
            return;
        }
        const std::string_view t = Trim(line);
        if (!current) return;
        if (t == "per-op statistics") {
            in_ops = true;
            return;
        }
        const std::size_t colon = t.find(':');
        if (!in_ops || colon == std::string_view::npos) return;
        Add(current, ClassOf(kNfsOps, t.substr(0, colon)), FirstNumber(t.substr(colon + 1)));
    });
    return mounts;
}

std::map<std::string, OperationCounts> ParseCifsStats(std::string_view text) {
    std::map<std::string, OperationCounts> shares;
    OperationCounts* current = nullptr;
    ForEachLine(text, [&](std::string_view line) {
        const std::string_view t = Trim(line);
        // "1) \\server\share" opens a share's section (maybe " DISCONNECTED" after it)
        const std::size_t paren = t.find(") \\\\");
        if (paren != std::string_view::npos && paren > 0 &&
            std::all_of(t.begin(), t.begin() + std::ptrdiff_t(paren), [](char c) { return c >= '0' && c <= '9'; })) {
            const std::string_view name = t.substr(paren + 2);
            current = &shares[std::string(name.substr(0, name.find(' ')))];
            return;
        }
        if (!current) return;
        // One or more "Name: count ..." pairs per line ("Reads: 3 total 0 failed",
        // "Reads:  3 Bytes: 4096").
        std::size_t at = 0;
        while (at < t.size()) {
            const std::size_t colon = t.find(':', at);
            if (colon == std::string_view::npos) break;
            const std::size_t start = t.rfind(' ', colon);
            const std::string_view name = t.substr(start == std::string_view::npos || start < at ? at : start + 1,
                                                   colon - (start == std::string_view::npos || start < at ? at : start + 1));
            Add(current, ClassOf(kCifsOps, name), FirstNumber(t.substr(colon + 1)));
            at = colon + 1;
        }
    });
    return shares;
}

}  // namespace kern::real
