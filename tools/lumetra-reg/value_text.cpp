#include "value_text.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "base/format.h"
#include "base/text.h"
#include "registry/registry.h"

namespace {

struct TypeLabel {
    DWORD type;
    const char* name;
};

constexpr TypeLabel kTypes[] = {
    {REG_NONE, "REG_NONE"},           {REG_SZ, "REG_SZ"},
    {REG_EXPAND_SZ, "REG_EXPAND_SZ"}, {REG_BINARY, "REG_BINARY"},
    {REG_DWORD, "REG_DWORD"},         {REG_DWORD_BIG_ENDIAN, "REG_DWORD_BIG_ENDIAN"},
    {REG_LINK, "REG_LINK"},           {REG_MULTI_SZ, "REG_MULTI_SZ"},
    {REG_QWORD, "REG_QWORD"},
};

bool IsText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

// The UTF-16 text of a string value without its trailing terminators.
std::string Text(const ValueData& value) {
    std::u16string text(value.bytes.size() / sizeof(WCHAR), u'\0');
    std::memcpy(text.data(), value.bytes.data(), text.size() * sizeof(WCHAR));
    while (!text.empty() && text.back() == u'\0') text.pop_back();
    return plat::Utf16ToUtf8(text);
}

std::string Hex(const std::vector<BYTE>& bytes, const char* separator) {
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i) out += separator;
        out += plat::Format("%02x", bytes[i]);
    }
    return out;
}

DWORD Dword(const ValueData& value) {
    DWORD v = 0;
    std::memcpy(&v, value.bytes.data(), sizeof v);
    return v;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::vector<BYTE>> ParseHex(const std::string& text) {
    std::vector<BYTE> bytes;
    int high = -1;
    for (char c : text) {
        if (c == ' ' || c == ',' || c == ':') {
            if (high >= 0) return std::nullopt;  // a separator inside a byte
            continue;
        }
        const int digit = HexDigit(c);
        if (digit < 0) return std::nullopt;
        if (high < 0) {
            high = digit;
        } else {
            bytes.push_back(BYTE(high << 4 | digit));
            high = -1;
        }
    }
    if (high >= 0) return std::nullopt;
    return bytes;
}

std::optional<DWORD> ParseDword(const std::string& text) {
    if (text.empty() || text[0] == '-' || text[0] == '+') return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const unsigned long long v = std::strtoull(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || v > 0xFFFFFFFFull) return std::nullopt;
    return DWORD(v);
}

std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out;
}

}  // namespace

std::string TypeName(DWORD type) {
    for (const auto& entry : kTypes) {
        if (entry.type == type) return entry.name;
    }
    return plat::Format("REG_TYPE_%lu", type);
}

std::string ShowData(const ValueData& value) {
    if (value.type == REG_DWORD && value.bytes.size() == 4) {
        return plat::Format("0x%08lx (%lu)", Dword(value), Dword(value));
    }
    if (IsText(value.type) && value.bytes.size() % 2 == 0) return Text(value);
    return Hex(value.bytes, " ");
}

std::string ExportData(const ValueData& value) {
    if (value.type == REG_DWORD && value.bytes.size() == 4) return plat::Format("dword:%08lx", Dword(value));
    if (value.type == REG_SZ && value.bytes.size() % 2 == 0) return "\"" + Escape(Text(value)) + "\"";
    if (value.type == REG_BINARY) return "hex:" + Hex(value.bytes, ",");
    return plat::Format("hex(%lx):", value.type) + Hex(value.bytes, ",");
}

std::optional<ValueData> ParseValue(const std::string& type, const std::string& text) {
    if (plat::EqualsNoCase(type, "dword")) {
        const auto v = ParseDword(text);
        if (!v) return std::nullopt;
        ValueData value{REG_DWORD, std::vector<BYTE>(4)};
        std::memcpy(value.bytes.data(), &*v, 4);
        return value;
    }
    if (plat::EqualsNoCase(type, "sz")) {
        const std::u16string wide = plat::Utf8ToUtf16(text);
        ValueData value{REG_SZ, std::vector<BYTE>((wide.size() + 1) * sizeof(WCHAR), 0)};
        std::memcpy(value.bytes.data(), wide.data(), wide.size() * sizeof(WCHAR));
        return value;
    }
    if (plat::EqualsNoCase(type, "binary")) {
        auto bytes = ParseHex(text);
        if (!bytes) return std::nullopt;
        return ValueData{REG_BINARY, std::move(*bytes)};
    }
    return std::nullopt;
}
