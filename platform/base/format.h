// A type-safe printf: the system's format texts ("%-20s %s", "%08lX",
// "%I64d", "%.*s", ...) are used as they stand, while the arguments carry
// their own types, so a mismatch prints a visible marker instead of reading
// the wrong bytes.
//
// Rules:
// - %d %i %u %x %X %o take any integer; without h/hh the argument's own width
//   is used (a negative int under %x prints 8 hex digits, an int64 prints in
//   full); h and hh narrow to 16 and 8 bits; l, ll, I64, I32, z, j, t are
//   accepted and only ll/I64/j widen a signed value to 64 bits.
// - %s %S %ls %hs %ws take UTF-8 or UTF-16 strings alike; nullptr prints
//   "(null)"; a precision limits the characters taken.
// - %c %C take a character or an integer code unit.
// - %p prints a pointer as 16 upper-case hex digits, as 64-bit Windows does.
// - %f %e %g %a (and upper case) take floating-point values.
// - A * width or precision takes an integer argument.
// - A conversion whose argument is missing or of the wrong kind prints
//   "%!<conv>(<what was given>)", for example "%!d(string)" or "%!s(missing)".
// - The result is cut at `max_chars` characters (bytes for UTF-8, code units
//   for UTF-16), never inside a UTF-8 sequence or a surrogate pair.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

namespace plat {

class FormatArg {
public:
    enum class Kind { Signed, Unsigned, Float, Char, Str8, Str16, Pointer };

    template <typename T>
        requires(std::is_integral_v<T> && !std::is_same_v<T, bool> && !std::is_same_v<T, char> &&
                 !std::is_same_v<T, char16_t> && !std::is_same_v<T, char32_t> && !std::is_same_v<T, wchar_t>)
    FormatArg(T v) : m_bits(sizeof(T) * 8) {
        if constexpr (std::is_signed_v<T>) {
            m_kind = Kind::Signed;
            m_int = static_cast<std::int64_t>(v);
        } else {
            m_kind = Kind::Unsigned;
            m_uint = static_cast<std::uint64_t>(v);
        }
    }
    template <typename E>
        requires std::is_enum_v<E>
    FormatArg(E v) : FormatArg(static_cast<std::underlying_type_t<E>>(v)) {}
    FormatArg(bool v) : m_kind(Kind::Signed), m_bits(32), m_int(v ? 1 : 0) {}
    FormatArg(char c) : m_kind(Kind::Char), m_bits(8), m_uint(static_cast<unsigned char>(c)) {}
    FormatArg(char16_t c) : m_kind(Kind::Char), m_bits(16), m_uint(c) {}
    FormatArg(char32_t c) : m_kind(Kind::Char), m_bits(32), m_uint(c) {}
    FormatArg(double v) : m_kind(Kind::Float), m_bits(64), m_float(v) {}
    FormatArg(float v) : FormatArg(static_cast<double>(v)) {}
    FormatArg(const char* s) : m_kind(Kind::Str8), m_str8(s ? std::string_view(s) : std::string_view()), m_null(s == nullptr) {}
    FormatArg(char* s) : FormatArg(static_cast<const char*>(s)) {}
    FormatArg(const char16_t* s);
    FormatArg(char16_t* s) : FormatArg(static_cast<const char16_t*>(s)) {}
    FormatArg(std::string_view s) : m_kind(Kind::Str8), m_str8(s) {}
    FormatArg(const std::string& s) : m_kind(Kind::Str8), m_str8(s) {}
    FormatArg(std::u16string_view s) : m_kind(Kind::Str16), m_str16(s) {}
    FormatArg(const std::u16string& s) : m_kind(Kind::Str16), m_str16(s) {}
    FormatArg(const void* p) : m_kind(Kind::Pointer), m_bits(64), m_uint(reinterpret_cast<std::uintptr_t>(p)) {}
    FormatArg(std::nullptr_t) : m_kind(Kind::Pointer), m_bits(64), m_uint(0), m_null(true) {}

    Kind kind() const { return m_kind; }
    int bits() const { return m_bits; }
    std::int64_t asSigned() const { return m_int; }
    std::uint64_t asUnsigned() const { return m_uint; }
    double asFloat() const { return m_float; }
    std::string_view str8() const { return m_str8; }
    std::u16string_view str16() const { return m_str16; }
    bool isNull() const { return m_null; }

private:
    Kind m_kind;
    int m_bits = 0;
    union {
        std::int64_t m_int;
        std::uint64_t m_uint;
        double m_float;
    };
    std::string_view m_str8;
    std::u16string_view m_str16;
    bool m_null = false;
};

inline constexpr std::size_t kNoLimit = std::numeric_limits<std::size_t>::max();

std::u16string FormatArgs(std::u16string_view fmt, std::span<const FormatArg> args, std::size_t max_chars = kNoLimit);
std::string FormatArgs(std::string_view fmt, std::span<const FormatArg> args, std::size_t max_chars = kNoLimit);

template <typename... Args>
std::string Format(std::string_view fmt, const Args&... args) {
    const std::array<FormatArg, sizeof...(Args)> list{FormatArg(args)...};
    return FormatArgs(fmt, list);
}

template <typename... Args>
std::u16string Format(std::u16string_view fmt, const Args&... args) {
    const std::array<FormatArg, sizeof...(Args)> list{FormatArg(args)...};
    return FormatArgs(fmt, list);
}

// Formats and cuts the result at `max_chars`.
template <typename... Args>
std::string FormatN(std::size_t max_chars, std::string_view fmt, const Args&... args) {
    const std::array<FormatArg, sizeof...(Args)> list{FormatArg(args)...};
    return FormatArgs(fmt, list, max_chars);
}

template <typename... Args>
std::u16string FormatN(std::size_t max_chars, std::u16string_view fmt, const Args&... args) {
    const std::array<FormatArg, sizeof...(Args)> list{FormatArg(args)...};
    return FormatArgs(fmt, list, max_chars);
}

}  // namespace plat
