// Counted-string helpers of the native interfaces.
#include "base/nt_types.h"

#include "base/handle.h"
#include "base/ntstatus.h"
#include "base/text.h"

void RtlInitUnicodeString(PUNICODE_STRING dest, const WCHAR* source) {
    // The largest byte length a USHORT holds that is a whole character count,
    // leaving room for the terminator counted in MaximumLength.
    constexpr std::size_t kMaxChars = (0xFFFF / sizeof(WCHAR)) - 1;
    const std::size_t chars = plat::WideLengthBounded(source, kMaxChars);
    dest->Buffer = const_cast<WCHAR*>(source);
    dest->Length = static_cast<USHORT>(chars * sizeof(WCHAR));
    dest->MaximumLength = source ? static_cast<USHORT>(dest->Length + sizeof(WCHAR)) : 0;
}

BOOLEAN RtlEqualUnicodeString(PCUNICODE_STRING a, PCUNICODE_STRING b, BOOLEAN case_insensitive) {
    const auto va = plat::View(a);
    const auto vb = plat::View(b);
    return case_insensitive ? plat::EqualsNoCase(va, vb) : va == vb;
}

NTSTATUS NtClose(HANDLE handle) { return CloseHandle(handle) ? STATUS_SUCCESS : STATUS_INVALID_HANDLE; }

namespace plat {

std::u16string_view View(PCUNICODE_STRING s) {
    if (s == nullptr || s->Buffer == nullptr) return {};
    return {s->Buffer, s->Length / sizeof(WCHAR)};
}

}  // namespace plat
