// Key path parsing and name rules.
#include "registry/key_path.h"

#include "base/ntstatus.h"
#include "base/text.h"
#include "registry/registry.h"

namespace plat::reg {
namespace {

// Names are stored as UTF-8; a lone surrogate would not survive the trip.
bool IsValidUtf16(std::u16string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
            ++i;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            return false;
        } else if (c == 0) {
            return false;
        }
    }
    return true;
}

}  // namespace

NTSTATUS ParseKeyPath(std::u16string_view text, KeyPath* out) {
    out->names.clear();
    if (!text.empty() && text.back() == u'\\') text.remove_suffix(1);
    if (text.empty()) return STATUS_SUCCESS;
    if (!IsValidUtf16(text)) return STATUS_OBJECT_NAME_INVALID;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find(u'\\', start);
        const auto name = text.substr(start, end == std::u16string_view::npos ? text.size() - start : end - start);
        if (name.empty()) return STATUS_OBJECT_PATH_SYNTAX_BAD;
        if (name.size() > kMaxKeyNameChars) return STATUS_INVALID_PARAMETER;
        out->names.emplace_back(name);
        if (end == std::u16string_view::npos) return STATUS_SUCCESS;
        start = end + 1;
    }
}

NTSTATUS CheckValueName(std::u16string_view name) {
    if (name.size() > kMaxValueNameChars) return STATUS_INVALID_PARAMETER;
    return IsValidUtf16(name) ? STATUS_SUCCESS : STATUS_OBJECT_NAME_INVALID;
}

std::string FoldName(std::u16string_view name) { return Utf16ToUtf8(ToLowerAscii(name)); }

}  // namespace plat::reg
