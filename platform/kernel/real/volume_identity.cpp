#include "kernel/real/volume_identity.h"

#include <algorithm>
#include <vector>

namespace kern::real {
namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string UnescapeUdev(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' && HexValue(text[i + 2]) >= 0 &&
            HexValue(text[i + 3]) >= 0) {
            out += char(HexValue(text[i + 2]) << 4 | HexValue(text[i + 3]));
            i += 3;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace

UdevFacts ParseUdevData(std::string_view text) {
    UdevFacts facts;
    std::string plain_label;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (!line.starts_with("E:")) continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        const std::string_view key = line.substr(2, eq - 2), value = line.substr(eq + 1);
        if (key == "ID_FS_UUID") facts.uuid = std::string(value);
        else if (key == "ID_FS_LABEL_ENC") facts.label = UnescapeUdev(value);
        else if (key == "ID_FS_LABEL") plain_label = std::string(value);
        else if (key == "ID_FS_TYPE") facts.fs_type = std::string(value);
    }
    if (facts.label.empty()) facts.label = plain_label;
    return facts;
}

std::uint32_t SerialFromUuid(std::string_view uuid) {
    std::vector<int> digits;
    for (char c : uuid)
        if (HexValue(c) >= 0) digits.push_back(HexValue(c));
    if (digits.empty()) return 0;
    const auto word = [&](std::size_t first, std::size_t count) {
        std::uint32_t v = 0;
        for (std::size_t i = first; i < first + count && i < digits.size(); ++i) v = v << 4 | std::uint32_t(digits[i]);
        return v;
    };
    if (digits.size() <= 8) return word(0, digits.size());
    if (digits.size() <= 16) return word(digits.size() - 8, 8);
    std::uint32_t folded = 0;
    for (std::size_t i = 0; i < digits.size(); i += 8) folded ^= word(i, 8);
    return folded;
}

std::string VolumeIdentity(std::string_view uuid, std::string_view device_name) {
    return uuid.empty() ? "DEVICE:" + std::string(device_name) : "UUID:" + std::string(uuid);
}

}  // namespace kern::real
