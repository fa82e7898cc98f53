// The run-time library's string and memory helpers. Case folding is ASCII,
// as the names the kernel compares (object names, drive letters) are ASCII.
#include <algorithm>

#include "kernel/ntddk.h"

namespace {

WCHAR Upcase(WCHAR c) { return (c >= u'a' && c <= u'z') ? WCHAR(c - u'a' + u'A') : c; }

USHORT Chars(PCUNICODE_STRING s) { return s->Length / sizeof(WCHAR); }

int CompareChars(const WCHAR* a, size_t a_len, const WCHAR* b, size_t b_len, bool fold) {
    const size_t n = std::min(a_len, b_len);
    for (size_t i = 0; i < n; ++i) {
        const WCHAR x = fold ? Upcase(a[i]) : a[i];
        const WCHAR y = fold ? Upcase(b[i]) : b[i];
        if (x != y) return int(x) - int(y);
    }
    return int(a_len) - int(b_len);
}

int DigitValue(WCHAR c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'z') return c - u'a' + 10;
    if (c >= u'A' && c <= u'Z') return c - u'A' + 10;
    return 99;
}

}  // namespace

extern "C" {

VOID RtlCopyUnicodeString(PUNICODE_STRING dest, PCUNICODE_STRING source) {
    if (!source || !source->Buffer) {
        dest->Length = 0;
        return;
    }
    const USHORT bytes = std::min(source->Length, dest->MaximumLength);
    std::memmove(dest->Buffer, source->Buffer, bytes);
    dest->Length = bytes;
    if (bytes + sizeof(WCHAR) <= dest->MaximumLength) dest->Buffer[bytes / sizeof(WCHAR)] = 0;
}

NTSTATUS RtlAppendUnicodeStringToString(PUNICODE_STRING dest, PCUNICODE_STRING source) {
    if (source->Length == 0) return STATUS_SUCCESS;
    if (ULONG(dest->Length) + source->Length > dest->MaximumLength) return STATUS_BUFFER_TOO_SMALL;
    std::memmove(reinterpret_cast<BYTE*>(dest->Buffer) + dest->Length, source->Buffer, source->Length);
    dest->Length = static_cast<USHORT>(dest->Length + source->Length);
    if (dest->Length + sizeof(WCHAR) <= dest->MaximumLength) dest->Buffer[Chars(dest)] = 0;
    return STATUS_SUCCESS;
}

NTSTATUS RtlAppendUnicodeToString(PUNICODE_STRING dest, PCWSTR source) {
    UNICODE_STRING s;
    RtlInitUnicodeString(&s, source);
    return RtlAppendUnicodeStringToString(dest, &s);
}

LONG RtlCompareUnicodeString(PCUNICODE_STRING a, PCUNICODE_STRING b, BOOLEAN case_insensitive) {
    return CompareChars(a->Buffer, Chars(a), b->Buffer, Chars(b), case_insensitive);
}

BOOLEAN RtlPrefixUnicodeString(PCUNICODE_STRING prefix, PCUNICODE_STRING s, BOOLEAN case_insensitive) {
    if (prefix->Length > s->Length) return FALSE;
    return CompareChars(prefix->Buffer, Chars(prefix), s->Buffer, Chars(prefix), case_insensitive) == 0;
}

WCHAR RtlUpcaseUnicodeChar(WCHAR c) { return Upcase(c); }

SIZE_T RtlCompareMemory(const VOID* a, const VOID* b, SIZE_T length) {
    const auto* x = static_cast<const BYTE*>(a);
    const auto* y = static_cast<const BYTE*>(b);
    SIZE_T i = 0;
    while (i < length && x[i] == y[i]) ++i;
    return i;
}

// Leading blanks and one sign are accepted; base 0 reads a 0x/0o/0b prefix
// (decimal otherwise). Digits stop at the first character that is not one.
NTSTATUS RtlUnicodeStringToInteger(PCUNICODE_STRING string, ULONG base, PULONG value) {
    if (!value) return STATUS_ACCESS_VIOLATION;
    if (base != 0 && base != 2 && base != 8 && base != 10 && base != 16) return STATUS_INVALID_PARAMETER;
    const WCHAR* p = string->Buffer;
    size_t n = Chars(string);
    while (n > 0 && *p <= u' ') ++p, --n;
    bool negative = false;
    if (n > 0 && (*p == u'-' || *p == u'+')) {
        negative = *p == u'-';
        ++p, --n;
    }
    if (base == 0) {
        base = 10;
        if (n >= 2 && p[0] == u'0') {
            const WCHAR k = Upcase(p[1]);
            const ULONG prefixed = k == u'X' ? 16 : k == u'O' ? 8 : k == u'B' ? 2 : 0;
            if (prefixed) base = prefixed, p += 2, n -= 2;
        }
    }
    ULONG result = 0;
    for (; n > 0; ++p, --n) {
        const int digit = DigitValue(*p);
        if (digit >= int(base)) break;
        result = result * base + ULONG(digit);
    }
    *value = negative ? ULONG(0u - result) : result;
    return STATUS_SUCCESS;
}

NTSTATUS RtlIntegerToUnicodeString(ULONG value, ULONG base, PUNICODE_STRING string) {
    if (base == 0) base = 10;
    if (base != 2 && base != 8 && base != 10 && base != 16) return STATUS_INVALID_PARAMETER;
    WCHAR digits[33];
    int count = 0;
    do {
        const ULONG d = value % base;
        digits[count++] = WCHAR(d < 10 ? u'0' + d : u'A' + d - 10);
        value /= base;
    } while (value != 0);
    const ULONG bytes = ULONG(count) * sizeof(WCHAR);
    if (bytes > string->MaximumLength) return STATUS_BUFFER_OVERFLOW;
    for (int i = 0; i < count; ++i) string->Buffer[i] = digits[count - 1 - i];
    string->Length = static_cast<USHORT>(bytes);
    if (bytes + sizeof(WCHAR) <= string->MaximumLength) string->Buffer[count] = 0;
    return STATUS_SUCCESS;
}

int _wcsnicmp(const WCHAR* a, const WCHAR* b, SIZE_T count) {
    for (SIZE_T i = 0; i < count; ++i) {
        const WCHAR x = Upcase(a[i]);
        const WCHAR y = Upcase(b[i]);
        if (x != y) return int(x) - int(y);
        if (x == 0) return 0;
    }
    return 0;
}

int _wcsicmp(const WCHAR* a, const WCHAR* b) { return _wcsnicmp(a, b, SIZE_T(-1)); }

SIZE_T _wcslen16(const WCHAR* s) {
    SIZE_T n = 0;
    if (s)
        while (s[n]) ++n;
    return n;
}

}  // extern "C"
