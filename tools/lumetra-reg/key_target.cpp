#include "key_target.h"

#include "base/text.h"

namespace {

struct RootName {
    const char* name;
    const char* label;
    HKEY root;
};

}  // namespace

std::string KeyTarget::Display() const {
    return path.empty() ? root_label : root_label + "\\" + plat::Utf16ToUtf8(path);
}

KeyTarget KeyTarget::Child(const std::u16string& name) const {
    KeyTarget child = *this;
    child.path = path.empty() ? name : path + u"\\" + name;
    return child;
}

std::optional<KeyTarget> ParseKeyTarget(const std::string& text) {
    const RootName roots[] = {
        {"HKLM", "HKLM", HKEY_LOCAL_MACHINE},
        {"HKEY_LOCAL_MACHINE", "HKLM", HKEY_LOCAL_MACHINE},
        {"HKCU", "HKCU", HKEY_CURRENT_USER},
        {"HKEY_CURRENT_USER", "HKCU", HKEY_CURRENT_USER},
    };
    const std::size_t slash = text.find('\\');
    const std::string head = text.substr(0, slash);
    for (const auto& root : roots) {
        if (!plat::EqualsNoCase(head, root.name)) continue;
        std::string rest = slash == std::string::npos ? std::string() : text.substr(slash + 1);
        while (!rest.empty() && rest.back() == '\\') rest.pop_back();
        return KeyTarget{root.root, root.label, plat::Utf8ToUtf16(rest)};
    }
    return std::nullopt;
}
