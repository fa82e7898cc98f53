#include "base/text.h"

#include <algorithm>

namespace plat {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

void AppendUtf16(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

// Decodes one UTF-8 sequence at s[i]; advances i past what was consumed.
char32_t DecodeUtf8(std::string_view s, std::size_t& i) {
    const auto b0 = static_cast<unsigned char>(s[i++]);
    if (b0 < 0x80) return b0;
    int extra = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if ((b0 & 0xE0) == 0xC0) {
        extra = 1, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3, cp = b0 & 0x07, min = 0x10000;
    } else {
        return kReplacement;
    }
    for (int k = 0; k < extra; ++k) {
        if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return kReplacement;
        cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return kReplacement;
    return cp;
}

template <typename Char>
int CompareNoCaseImpl(std::basic_string_view<Char> a, std::basic_string_view<Char> b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto ca = AsciiToLower(static_cast<WCHAR>(a[i]));
        const auto cb = AsciiToLower(static_cast<WCHAR>(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

template <typename Char>
std::size_t CopyToFieldImpl(Char* dest, std::size_t capacity, std::basic_string_view<Char> src) {
    if (dest == nullptr || capacity == 0) return 0;
    const std::size_t n = std::min(src.size(), capacity - 1);
    std::copy_n(src.data(), n, dest);
    dest[n] = Char{0};
    return n;
}

template <typename Char>
std::basic_string_view<Char> FieldViewImpl(const Char* field, std::size_t capacity) {
    if (field == nullptr) return {};
    const Char* end = std::find(field, field + capacity, Char{0});
    return {field, static_cast<std::size_t>(end - field)};
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) AppendUtf16(out, DecodeUtf8(utf8, i));
    return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        char32_t cp = utf16[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = kReplacement;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

std::size_t WideLength(const WCHAR* s) {
    if (s == nullptr) return 0;
    std::size_t n = 0;
    while (s[n] != 0) ++n;
    return n;
}

std::size_t WideLengthBounded(const WCHAR* s, std::size_t max) {
    if (s == nullptr) return 0;
    std::size_t n = 0;
    while (n < max && s[n] != 0) ++n;
    return n;
}

std::size_t CopyToField(WCHAR* dest, std::size_t capacity, std::u16string_view src) {
    return CopyToFieldImpl(dest, capacity, src);
}

std::size_t CopyToField(char* dest, std::size_t capacity, std::string_view src) {
    return CopyToFieldImpl(dest, capacity, src);
}

std::u16string_view FieldView(const WCHAR* field, std::size_t capacity) {
    return FieldViewImpl(field, capacity);
}

std::string_view FieldView(const char* field, std::size_t capacity) {
    return FieldViewImpl(field, capacity);
}

WCHAR AsciiToLower(WCHAR c) { return (c >= u'A' && c <= u'Z') ? static_cast<WCHAR>(c + 32) : c; }

WCHAR AsciiToUpper(WCHAR c) { return (c >= u'a' && c <= u'z') ? static_cast<WCHAR>(c - 32) : c; }

int CompareNoCase(std::u16string_view a, std::u16string_view b) { return CompareNoCaseImpl(a, b); }

int CompareNoCase(std::string_view a, std::string_view b) { return CompareNoCaseImpl(a, b); }

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

bool StartsWithNoCase(std::u16string_view s, std::u16string_view prefix) {
    return s.size() >= prefix.size() && EqualsNoCase(s.substr(0, prefix.size()), prefix);
}

std::u16string ToLowerAscii(std::u16string_view s) {
    std::u16string out(s);
    for (auto& c : out) c = AsciiToLower(c);
    return out;
}

std::u16string ToUpperAscii(std::u16string_view s) {
    std::u16string out(s);
    for (auto& c : out) c = AsciiToUpper(c);
    return out;
}

}  // namespace plat
