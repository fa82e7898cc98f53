// Name rules: network drive letters and storage-name numbering.
#include "BlkNameRules.h"


namespace blinkor {
namespace {

bool IsDigit(WCHAR c) { return c >= u'0' && c <= u'9'; }

WCHAR Upcase(WCHAR c) { return (c >= u'a' && c <= u'z') ? WCHAR(c - u'a' + u'A') : c; }

// Object names compare without regard to ASCII case.
bool StartsWithNoCase(std::u16string_view s, std::u16string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (Upcase(s[i]) != Upcase(prefix[i])) return false;
    }
    return true;
}

// A decimal number made of all of `digits`; nothing when empty, not all
// digits, or larger than 32 bits.
std::optional<ULONG> ParseDecimal(std::u16string_view digits) {
    if (digits.empty() || digits.size() > 10) return std::nullopt;
    std::uint64_t value = 0;
    for (WCHAR c : digits) {
        if (!IsDigit(c)) return std::nullopt;
        value = value * 10 + (c - u'0');
    }
    if (value > 0xFFFFFFFFu) return std::nullopt;
    return static_cast<ULONG>(value);
}

std::optional<DiskNumbers> PartitionPathNumbers(std::u16string_view name) {
    constexpr std::u16string_view kDisk = u"\\Device\\Harddisk";
    constexpr std::u16string_view kPartition = u"\\Partition";
    if (!StartsWithNoCase(name, kDisk)) return std::nullopt;
    std::u16string_view rest = name.substr(kDisk.size());
    const std::size_t slash = rest.find(u'\\');
    if (slash == std::u16string_view::npos) return std::nullopt;
    const auto device = ParseDecimal(rest.substr(0, slash));
    rest = rest.substr(slash);
    if (!device || !StartsWithNoCase(rest, kPartition)) return std::nullopt;
    const auto partition = ParseDecimal(rest.substr(kPartition.size()));
    if (!partition) return std::nullopt;
    return DiskNumbers{*device, *partition};
}

}  // namespace

std::optional<int> NetworkLetterSlot(std::u16string_view name, int os_class) {
    const std::size_t i = os_class == 0 ? 1 : 2;
    if (name.size() < i + 2 || name[0] != u'\\' || name[i + 1] != u':') return std::nullopt;
    if (i == 2 && name[1] != u';') return std::nullopt;
    const WCHAR letter = name[i];
    if (letter >= u'A' && letter <= u'Z') return letter - u'A';
    if (letter >= u'a' && letter <= u'z') return letter - u'a';
    return std::nullopt;
}

bool IsDynamicDiskName(std::u16string_view name) {
    return StartsWithNoCase(name, u"\\Device\\HarddiskDm");
}

DiskNumbers NumbersFromStorageName(std::u16string_view name) {
    if (auto numbers = PartitionPathNumbers(name)) return *numbers;
    DiskNumbers numbers;
    std::size_t start = name.size();
    while (start > 1 && IsDigit(name[start - 1])) --start;
    numbers.device = ParseDecimal(name.substr(start)).value_or(0);
    return numbers;
}

}  // namespace blinkor
