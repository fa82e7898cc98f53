#include "led_records.h"

#include <cstdlib>

#include "base/format.h"
#include "base/text.h"

namespace kctl {
namespace {

const std::pair<const char*, std::uint32_t> kCodes[] = {
    {"IOCTL_LED_GET_VERSION", kGetVersion},       {"IOCTL_LED_DUMP_STATE", kDumpState},
    {"IOCTL_LED_GET_DRIVES", kGetDrives},         {"IOCTL_LED_GET_ACTIVITY", kGetActivity},
    {"IOCTL_LED_SET_CHANGE_EVENT", kSetChangeEvent}, {"IOCTL_LED_SET_ACTIVITY_EVENT", kSetActivityEvent},
};

constexpr std::size_t kDriveRecordSize = 96;

std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}

std::uint16_t U16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return std::uint16_t(b[at] | b[at + 1] << 8);
}

std::string Utf16At(const std::vector<std::uint8_t>& b, std::size_t at, std::size_t bytes) {
    std::u16string text;
    for (std::size_t i = 0; i + 1 < bytes; i += 2) {
        const char16_t c = U16(b, at + i);
        if (c == 0) break;
        text += c;
    }
    return plat::Utf16ToUtf8(text);
}

std::string Letters(std::uint32_t mask) {
    std::string text;
    for (int bit = 0; bit < 32; ++bit) {
        if (!(mask & (1u << bit))) continue;
        if (!text.empty()) text += ' ';
        text += bit < 26 ? std::string(1, char('A' + bit)) + ":" : bit == 26 ? "[no letter]" : bit == 31 ? "[network]" : "bit" + std::to_string(bit);
    }
    return text.empty() ? "-" : text;
}

std::string DecodeDrives(const std::vector<std::uint8_t>& b) {
    std::string text;
    std::size_t at = 0;
    while (at + kDriveRecordSize <= b.size()) {
        const std::uint32_t name_length = U32(b, at + 88);
        const char16_t letter = U16(b, at);
        text += plat::Format("%c  type 0x%02x  disk %u  partition %d  removable %u  dismounted %u  serial %08X  label \"%s\"",
                             letter == 0x60 ? '*' : char(letter), U32(b, at + 4), U32(b, at + 8), int(U32(b, at + 12)),
                             unsigned(b[at + 16]), unsigned(b[at + 17]), U32(b, at + 20), Utf16At(b, at + 24, 64));
        if (name_length && at + 92 + name_length <= b.size()) text += "  name \"" + Utf16At(b, at + 92, name_length) + "\"";
        text += "\n";
        at += kDriveRecordSize + name_length;
    }
    if (at != b.size()) text += plat::Format("(%zu trailing bytes)\n", b.size() - at);
    return text;
}

}  // namespace

bool ParseCode(const std::string& text, std::uint32_t* code) {
    for (const auto& [name, value] : kCodes)
        if (plat::EqualsNoCase(text, name) || plat::EqualsNoCase("IOCTL_LED_" + text, name)) return *code = value, true;
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 0);
    if (text.empty() || *end || value > 0xFFFFFFFFul) return false;
    *code = std::uint32_t(value);
    return true;
}

std::string Decode(std::uint32_t code, const std::vector<std::uint8_t>& b) {
    if (code == kGetVersion && b.size() >= 4) return plat::Format("interface version 0x%08X\n", U32(b, 0));
    if (code == kGetActivity && b.size() >= 8)
        return "reads:  " + Letters(U32(b, 0)) + "\nwrites: " + Letters(U32(b, 4)) + "\n";
    if (code == kGetDrives) return DecodeDrives(b);
    return {};
}

std::string HexDump(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    for (std::size_t row = 0; row < bytes.size(); row += 16) {
        text += plat::Format("%04zx ", row);
        for (std::size_t i = row; i < row + 16 && i < bytes.size(); ++i) text += plat::Format(" %02x", unsigned(bytes[i]));
        text += "\n";
    }
    return text;
}

}  // namespace kctl
