#include "base/format.h"

#include <cstdio>

#include "base/text.h"

namespace plat {

FormatArg::FormatArg(const char16_t* s)
    : m_kind(Kind::Str16), m_str16(s ? std::u16string_view(s) : std::u16string_view()), m_null(s == nullptr) {}

namespace {

struct Spec {
    bool left = false;
    bool plus = false;
    bool space = false;
    bool alt = false;
    bool zero = false;
    int width = 0;
    int precision = -1;
    int narrowBits = 0;   // 8 or 16 for hh / h
    bool wide64 = false;  // ll, I64, j
    char16_t conv = 0;
};

const char* KindName(const FormatArg& a) {
    switch (a.kind()) {
        case FormatArg::Kind::Signed:
        case FormatArg::Kind::Unsigned: return "int";
        case FormatArg::Kind::Float: return "float";
        case FormatArg::Kind::Char: return "char";
        case FormatArg::Kind::Str8:
        case FormatArg::Kind::Str16: return "string";
        case FormatArg::Kind::Pointer: return "pointer";
    }
    return "?";
}

class Formatter {
public:
    Formatter(std::u16string_view fmt, std::span<const FormatArg> args) : m_fmt(fmt), m_args(args) {}

    std::u16string run() {
        while (m_pos < m_fmt.size()) {
            const char16_t c = m_fmt[m_pos++];
            if (c != u'%') {
                m_out.push_back(c);
                continue;
            }
            if (m_pos < m_fmt.size() && m_fmt[m_pos] == u'%') {
                m_out.push_back(u'%');
                ++m_pos;
                continue;
            }
            convert();
        }
        return std::move(m_out);
    }

private:
    const FormatArg* nextArg() { return m_next < m_args.size() ? &m_args[m_next++] : nullptr; }

    bool isInteger(const FormatArg* a) const {
        return a && (a->kind() == FormatArg::Kind::Signed || a->kind() == FormatArg::Kind::Unsigned ||
                     a->kind() == FormatArg::Kind::Char);
    }

    int takeIntArg() {
        const FormatArg* a = nextArg();
        if (!isInteger(a)) return 0;
        return a->kind() == FormatArg::Kind::Signed ? static_cast<int>(a->asSigned())
                                                    : static_cast<int>(a->asUnsigned());
    }

    int readNumber() {
        int n = 0;
        while (m_pos < m_fmt.size() && m_fmt[m_pos] >= u'0' && m_fmt[m_pos] <= u'9') {
            if (n < 100000) n = n * 10 + (m_fmt[m_pos] - u'0');
            ++m_pos;
        }
        return n;
    }

    bool consume(std::u16string_view token) {
        if (m_fmt.substr(m_pos, token.size()) != token) return false;
        m_pos += token.size();
        return true;
    }

    void parseFlags(Spec& s) {
        for (; m_pos < m_fmt.size(); ++m_pos) {
            switch (m_fmt[m_pos]) {
                case u'-': s.left = true; continue;
                case u'+': s.plus = true; continue;
                case u' ': s.space = true; continue;
                case u'#': s.alt = true; continue;
                case u'0': s.zero = true; continue;
                default: return;
            }
        }
    }

    void parseLength(Spec& s) {
        if (consume(u"hh")) s.narrowBits = 8;
        else if (consume(u"h")) s.narrowBits = 16;
        else if (consume(u"ll") || consume(u"I64") || consume(u"j")) s.wide64 = true;
        else if (consume(u"I32") || consume(u"l") || consume(u"L") || consume(u"w") || consume(u"z") ||
                 consume(u"t") || consume(u"I")) {
        }
    }

    void convert() {
        Spec s;
        parseFlags(s);
        if (consume(u"*")) {
            s.width = takeIntArg();
            if (s.width < 0) s.left = true, s.width = -s.width;
        } else {
            s.width = readNumber();
        }
        if (consume(u".")) {
            s.precision = consume(u"*") ? takeIntArg() : readNumber();
            if (s.precision < 0) s.precision = -1;
        }
        parseLength(s);
        if (m_pos >= m_fmt.size()) {
            m_out += u"%!(incomplete)";
            return;
        }
        s.conv = m_fmt[m_pos++];
        emit(s, nextArg());
    }

    void mismatch(const Spec& s, const FormatArg* a) {
        m_out += u"%!";
        m_out.push_back(s.conv);
        m_out += u"(";
        m_out += Utf8ToUtf16(a ? KindName(*a) : "missing");
        m_out += u")";
    }

    void pad(const Spec& s, std::u16string body, bool numeric) {
        const std::size_t width = static_cast<std::size_t>(s.width);
        if (body.size() >= width) {
            m_out += body;
            return;
        }
        const std::size_t fill = width - body.size();
        if (s.left) {
            m_out += body;
            m_out.append(fill, u' ');
        } else if (numeric && s.zero && s.precision < 0) {
            // Zeros go after a sign or 0x prefix.
            std::size_t prefix = 0;
            if (!body.empty() && (body[0] == u'-' || body[0] == u'+' || body[0] == u' ')) prefix = 1;
            if (body.size() >= prefix + 2 && body[prefix] == u'0' && (body[prefix + 1] == u'x' || body[prefix + 1] == u'X'))
                prefix += 2;
            m_out += body.substr(0, prefix);
            m_out.append(fill, u'0');
            m_out += body.substr(prefix);
        } else {
            m_out.append(fill, u' ');
            m_out += body;
        }
    }

    static std::uint64_t mask(std::uint64_t v, int bits) {
        return bits >= 64 ? v : (v & ((std::uint64_t{1} << bits) - 1));
    }

    void emitInteger(const Spec& s, const FormatArg& a) {
        const bool isSigned = a.kind() == FormatArg::Kind::Signed;
        int bits = a.bits();
        if (s.narrowBits) bits = s.narrowBits;
        else if (s.wide64) bits = 64;

        std::uint64_t raw = isSigned ? static_cast<std::uint64_t>(a.asSigned()) : a.asUnsigned();
        raw = mask(raw, bits);

        std::u16string digits;
        bool negative = false;
        const char16_t c = s.conv;
        if (c == u'd' || c == u'i') {
            std::int64_t v = static_cast<std::int64_t>(raw);
            if (isSigned && bits < 64 && (raw >> (bits - 1)) & 1) v = static_cast<std::int64_t>(raw | ~mask(~0ull, bits));
            if (!isSigned) v = static_cast<std::int64_t>(raw);
            negative = isSigned && v < 0;
            std::uint64_t mag = negative ? (0 - static_cast<std::uint64_t>(v)) : static_cast<std::uint64_t>(v);
            digits = toBase(mag, 10, false);
        } else {
            const int base = (c == u'x' || c == u'X') ? 16 : (c == u'o' ? 8 : 10);
            digits = toBase(raw, base, c == u'X');
        }
        if (s.precision >= 0 && digits.size() < static_cast<std::size_t>(s.precision))
            digits.insert(0, static_cast<std::size_t>(s.precision) - digits.size(), u'0');
        if (s.precision == 0 && raw == 0) digits.clear();

        std::u16string body;
        if (negative) body = u"-";
        else if ((c == u'd' || c == u'i') && s.plus) body = u"+";
        else if ((c == u'd' || c == u'i') && s.space) body = u" ";
        if (s.alt && raw != 0 && (c == u'x' || c == u'X')) body += (c == u'x') ? u"0x" : u"0X";
        if (s.alt && c == u'o' && (digits.empty() || digits[0] != u'0')) body += u"0";
        pad(s, body + digits, true);
    }

    static std::u16string toBase(std::uint64_t v, int base, bool upper) {
        const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
        std::u16string out;
        do {
            out.insert(out.begin(), static_cast<char16_t>(set[v % base]));
            v /= base;
        } while (v);
        return out;
    }

    void emitString(const Spec& s, const FormatArg& a) {
        std::u16string text;
        if (a.isNull()) text = u"(null)";
        else if (a.kind() == FormatArg::Kind::Str16) text = std::u16string(a.str16());
        else text = Utf8ToUtf16(a.str8());
        if (s.precision >= 0 && text.size() > static_cast<std::size_t>(s.precision)) text.resize(s.precision);
        pad(s, text, false);
    }

    void emitFloat(const Spec& s, const FormatArg& a) {
        std::string spec = "%";
        if (s.left) spec += '-';
        if (s.plus) spec += '+';
        if (s.space) spec += ' ';
        if (s.alt) spec += '#';
        if (s.zero) spec += '0';
        if (s.width) spec += std::to_string(s.width);
        if (s.precision >= 0) spec += "." + std::to_string(s.precision);
        spec += static_cast<char>(s.conv);
        char buf[512];
        std::snprintf(buf, sizeof buf, spec.c_str(), a.asFloat());
        m_out += Utf8ToUtf16(buf);
    }

    void emit(const Spec& s, const FormatArg* a) {
        switch (s.conv) {
            case u'd': case u'i': case u'u': case u'x': case u'X': case u'o':
                if (!isInteger(a)) return mismatch(s, a);
                return emitInteger(s, *a);
            case u'c': case u'C':
                if (!isInteger(a)) return mismatch(s, a);
                return pad(s, std::u16string(1, static_cast<char16_t>(a->asUnsigned())), false);
            case u's': case u'S': case u'Z':
                if (!a || (a->kind() != FormatArg::Kind::Str8 && a->kind() != FormatArg::Kind::Str16))
                    return mismatch(s, a);
                return emitString(s, *a);
            case u'p':
                if (!a || (a->kind() != FormatArg::Kind::Pointer && !isInteger(a))) return mismatch(s, a);
                {
                    Spec ps = s;
                    ps.conv = u'X';
                    ps.precision = 16;
                    FormatArg u(a->asUnsigned());
                    return emitInteger(ps, u);
                }
            case u'f': case u'F': case u'e': case u'E': case u'g': case u'G': case u'a': case u'A':
                if (!a || a->kind() != FormatArg::Kind::Float) return mismatch(s, a);
                return emitFloat(s, *a);
            default:
                return mismatch(s, a);
        }
    }

    std::u16string_view m_fmt;
    std::span<const FormatArg> m_args;
    std::size_t m_pos = 0;
    std::size_t m_next = 0;
    std::u16string m_out;
};

void CutUtf16(std::u16string& s, std::size_t max) {
    if (s.size() <= max) return;
    if (max > 0 && s[max - 1] >= 0xD800 && s[max - 1] <= 0xDBFF) --max;
    s.resize(max);
}

void CutUtf8(std::string& s, std::size_t max) {
    if (s.size() <= max) return;
    // Step back over continuation bytes so no sequence is split.
    while (max > 0 && (static_cast<unsigned char>(s[max]) & 0xC0) == 0x80) --max;
    s.resize(max);
}

}  // namespace

std::u16string FormatArgs(std::u16string_view fmt, std::span<const FormatArg> args, std::size_t max_chars) {
    std::u16string out = Formatter(fmt, args).run();
    CutUtf16(out, max_chars);
    return out;
}

std::string FormatArgs(std::string_view fmt, std::span<const FormatArg> args, std::size_t max_chars) {
    std::string out = Utf16ToUtf8(Formatter(Utf8ToUtf16(fmt), args).run());
    CutUtf8(out, max_chars);
    return out;
}

}  // namespace plat
