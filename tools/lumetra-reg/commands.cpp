#include "commands.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "base/format.h"
#include "base/text.h"
#include "base/win_errors.h"

namespace {

// Closes the key when the command is done with it.
class KeyHandle {
public:
    KeyHandle() = default;
    ~KeyHandle() {
        if (m_key) RegCloseKey(m_key);
    }
    KeyHandle(const KeyHandle&) = delete;
    KeyHandle& operator=(const KeyHandle&) = delete;
    HKEY* Out() { return &m_key; }
    HKEY Get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

std::string Describe(LONG error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
            return "not found";
        case ERROR_ACCESS_DENIED:
            return "access denied (the store cannot be written by this user, or the key has sub keys)";
        case ERROR_BAD_PATHNAME:
            return "bad path (empty component)";
        case ERROR_INVALID_PARAMETER:
            return "invalid name or data (names are limited to 255 characters per key, 16383 per value)";
        case ERROR_REGISTRY_CORRUPT:
            return "the store is damaged";
        default:
            return plat::Format("error %ld", error);
    }
}

int Fail(const std::string& what, LONG error) {
    std::fprintf(stderr, "lumetra-reg: %s: %s\n", what.c_str(), Describe(error).c_str());
    return error == ERROR_FILE_NOT_FOUND ? kExitMissing : kExitFailed;
}

std::string ShownName(const std::u16string& name) { return name.empty() ? "(Default)" : plat::Utf16ToUtf8(name); }

LONG OpenKey(const KeyTarget& target, REGSAM access, KeyHandle* key) {
    return RegOpenKeyExW(target.root, target.path.c_str(), 0, access, key->Out());
}

using ValueVisitor = std::function<void(const std::u16string&, const ValueData&)>;

LONG ForEachValue(HKEY key, const ValueVisitor& visit) {
    std::vector<WCHAR> name(plat::kMaxValueNameChars + 1);
    for (DWORD index = 0;; ++index) {
        DWORD chars = DWORD(name.size()), size = 0;
        ValueData value;
        LONG rc = RegEnumValueW(key, index, name.data(), &chars, nullptr, &value.type, nullptr, &size);
        if (rc == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
        if (rc != ERROR_SUCCESS) return rc;
        value.bytes.resize(size);
        chars = DWORD(name.size());
        rc = RegEnumValueW(key, index, name.data(), &chars, nullptr, &value.type, value.bytes.data(), &size);
        if (rc != ERROR_SUCCESS) return rc;
        value.bytes.resize(size);
        visit(std::u16string(name.data(), chars), value);
    }
}

LONG SubkeyNames(HKEY key, std::vector<std::u16string>* names) {
    WCHAR name[plat::kMaxKeyNameChars + 1];
    for (DWORD index = 0;; ++index) {
        DWORD chars = plat::kMaxKeyNameChars + 1;
        const LONG rc = RegEnumKeyExW(key, index, name, &chars, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
        if (rc != ERROR_SUCCESS) return rc;
        names->emplace_back(name, chars);
    }
}

struct ValueLine {
    std::string name, type, data;
};

// Prints value lines with the name and type columns aligned.
void PrintValues(const std::vector<ValueLine>& lines) {
    int name_width = 0, type_width = 0;
    for (const auto& line : lines) {
        name_width = std::max(name_width, int(line.name.size()));
        type_width = std::max(type_width, int(line.type.size()));
    }
    for (const auto& line : lines) {
        std::printf("    %-*s    %-*s    %s\n", name_width, line.name.c_str(), type_width, line.type.c_str(),
                    line.data.c_str());
    }
}

ValueLine LineOf(const std::u16string& name, const ValueData& value) {
    return {ShownName(name), TypeName(value.type), ShowData(value)};
}

std::string ExportName(const std::u16string& name) {
    if (name.empty()) return "@";
    std::string out = "\"";
    for (char c : plat::Utf16ToUtf8(name)) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

LONG ExportKey(const KeyTarget& target) {
    KeyHandle key;
    if (const LONG rc = OpenKey(target, KEY_READ, &key); rc != ERROR_SUCCESS) return rc;
    std::printf("\n[%s]\n", target.Display().c_str());
    LONG rc = ForEachValue(key.Get(), [](const std::u16string& name, const ValueData& value) {
        std::printf("%s=%s\n", ExportName(name).c_str(), ExportData(value).c_str());
    });
    std::vector<std::u16string> subkeys;
    if (rc == ERROR_SUCCESS) rc = SubkeyNames(key.Get(), &subkeys);
    for (const auto& sub : subkeys) {
        // A sub key removed meanwhile by another process is simply skipped.
        if (rc == ERROR_SUCCESS) rc = ExportKey(target.Child(sub));
        if (rc == ERROR_FILE_NOT_FOUND) rc = ERROR_SUCCESS;
    }
    return rc;
}

}  // namespace

int QueryCommand(const KeyTarget& target, const std::optional<std::u16string>& name) {
    KeyHandle key;
    if (const LONG rc = OpenKey(target, KEY_READ, &key); rc != ERROR_SUCCESS) return Fail(target.Display(), rc);
    if (name) {
        // Found by enumeration so the stored spelling of the name is shown.
        bool found = false;
        const LONG rc = ForEachValue(key.Get(), [&](const std::u16string& stored, const ValueData& value) {
            if (found || !plat::EqualsNoCase(stored, *name)) return;
            found = true;
            PrintValues({LineOf(stored, value)});
        });
        if (rc != ERROR_SUCCESS || !found) {
            return Fail(target.Display() + " " + ShownName(*name), found ? rc : ERROR_FILE_NOT_FOUND);
        }
        return kExitOk;
    }
    std::printf("%s\n", target.Display().c_str());
    std::vector<std::u16string> subkeys;
    std::vector<ValueLine> lines;
    LONG rc = ForEachValue(key.Get(), [&](const std::u16string& value_name, const ValueData& value) {
        lines.push_back(LineOf(value_name, value));
    });
    PrintValues(lines);
    if (rc == ERROR_SUCCESS) rc = SubkeyNames(key.Get(), &subkeys);
    for (const auto& sub : subkeys) std::printf("%s\n", target.Child(sub).Display().c_str());
    return rc == ERROR_SUCCESS ? kExitOk : Fail(target.Display(), rc);
}

namespace {
LONG CreateKey(const KeyTarget& target, bool make_volatile, KeyHandle& key) {
    return RegCreateKeyExW(target.root, target.path.c_str(), 0, nullptr,
                           make_volatile ? REG_OPTION_VOLATILE : REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                           key.Out(), nullptr);
}
}  // namespace

int CreateCommand(const KeyTarget& target, bool make_volatile) {
    KeyHandle key;
    const LONG rc = CreateKey(target, make_volatile, key);
    return rc == ERROR_SUCCESS ? kExitOk : Fail(target.Display(), rc);
}

int SetCommand(const KeyTarget& target, const std::u16string& name, const ValueData& value, bool make_volatile) {
    KeyHandle key;
    LONG rc = CreateKey(target, make_volatile, key);
    if (rc != ERROR_SUCCESS) return Fail(target.Display(), rc);
    rc = RegSetValueExW(key.Get(), name.c_str(), 0, value.type, value.bytes.data(), DWORD(value.bytes.size()));
    return rc == ERROR_SUCCESS ? kExitOk : Fail(target.Display() + " " + ShownName(name), rc);
}

int DeleteCommand(const KeyTarget& target, const std::optional<std::u16string>& name) {
    if (!name) {
        const LONG rc = RegDeleteTreeW(target.root, target.path.c_str());
        return rc == ERROR_SUCCESS ? kExitOk : Fail(target.Display(), rc);
    }
    KeyHandle key;
    LONG rc = OpenKey(target, KEY_ALL_ACCESS, &key);
    if (rc != ERROR_SUCCESS) return Fail(target.Display(), rc);
    rc = RegDeleteValueW(key.Get(), name->c_str());
    return rc == ERROR_SUCCESS ? kExitOk : Fail(target.Display() + " " + ShownName(*name), rc);
}

int ExportCommand(const KeyTarget& target) {
    std::printf("; lumetra-reg export of %s\n", target.Display().c_str());
    const LONG rc = ExportKey(target);
    return rc == ERROR_SUCCESS ? kExitOk : Fail(target.Display(), rc);
}
