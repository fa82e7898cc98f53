// UTF-16 text: conversion to and from UTF-8, bounded copies into fixed
// fields, and the ASCII case-insensitive comparison the system uses for names.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "base/wintypes.h"

namespace plat {

// Invalid input (lone surrogates, malformed UTF-8) becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// Length of a NUL-terminated UTF-16 string (0 for nullptr).
std::size_t WideLength(const WCHAR* s);
// Length up to the first NUL, but never past `max` characters.
std::size_t WideLengthBounded(const WCHAR* s, std::size_t max);

// Copies `src` into a field of `capacity` characters. At most capacity - 1
// characters are copied and the field is always terminated; the rest of the
// field is left as it was. Returns the number of characters copied.
// A capacity of 0 writes nothing.
std::size_t CopyToField(WCHAR* dest, std::size_t capacity, std::u16string_view src);
std::size_t CopyToField(char* dest, std::size_t capacity, std::string_view src);

// Views a fixed field as a string: up to the first NUL or the field's end.
std::u16string_view FieldView(const WCHAR* field, std::size_t capacity);
std::string_view FieldView(const char* field, std::size_t capacity);

// ASCII case folding only: names are compared "without regard to case"
// the way the system's Windows code did for its identifiers and paths.
WCHAR AsciiToLower(WCHAR c);
WCHAR AsciiToUpper(WCHAR c);
int CompareNoCase(std::u16string_view a, std::u16string_view b);
int CompareNoCase(std::string_view a, std::string_view b);
bool EqualsNoCase(std::u16string_view a, std::u16string_view b);
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::u16string_view s, std::u16string_view prefix);
std::u16string ToLowerAscii(std::u16string_view s);
std::u16string ToUpperAscii(std::u16string_view s);

}  // namespace plat
