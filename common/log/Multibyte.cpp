#include "log/Multibyte.h"

#include <climits>
#include <cwchar>

namespace logging {

namespace {

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The code point at text[i]; advances i past it. Lone surrogates give '?'.
char32_t NextCodePoint(std::u16string_view text, std::size_t& i) {
    const char16_t c = text[i++];
    if (IsHighSurrogate(c) && i < text.size() && IsLowSurrogate(text[i])) {
        return 0x10000 + ((char32_t(c) - 0xD800) << 10) + (char32_t(text[i++]) - 0xDC00);
    }
    if (IsHighSurrogate(c) || IsLowSurrogate(c)) return U'?';
    return c;
}

void AppendUtf16(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
        return;
    }
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
}

}  // namespace

std::string ToMultibyte(std::u16string_view text, std::size_t max_bytes) {
    std::string out;
    std::mbstate_t state{};
    char bytes[MB_LEN_MAX];
    for (std::size_t i = 0; i < text.size();) {
        std::size_t n = std::wcrtomb(bytes, static_cast<wchar_t>(NextCodePoint(text, i)), &state);
        if (n == static_cast<std::size_t>(-1)) {
            state = std::mbstate_t{};
            bytes[0] = '?';
            n = 1;
        }
        if (out.size() + n > max_bytes) break;
        out.append(bytes, n);
    }
    return out;
}

std::u16string FromMultibyte(std::string_view text) {
    std::u16string out;
    std::mbstate_t state{};
    for (std::size_t i = 0; i < text.size();) {
        wchar_t wc = 0;
        const std::size_t n = std::mbrtowc(&wc, text.data() + i, text.size() - i, &state);
        if (n == static_cast<std::size_t>(-1) || n == static_cast<std::size_t>(-2)) {
            state = std::mbstate_t{};
            out.push_back(u'\uFFFD');
            ++i;
            continue;
        }
        AppendUtf16(out, static_cast<char32_t>(wc));
        i += n ? n : 1;
    }
    return out;
}

}  // namespace logging
