// Window classes: a name (or atom), a window procedure, class styles, the
// background brush and the number of extra window bytes.
#include <map>

#include "base/last_error.h"
#include "base/text.h"
#include "base/win_errors.h"
#include "ui/window.h"
#include "ui/window_internal.h"

namespace plat::ui {
namespace {

struct ClassTable {
    std::mutex mutex;
    std::map<std::u16string, std::shared_ptr<WindowClass>> byName;  // lower-case names
    ATOM nextAtom = 0xC000;
};

ClassTable& Classes() {
    static ClassTable* table = new ClassTable;
    return *table;
}

bool IsAtom(LPCWSTR name) { return reinterpret_cast<std::uintptr_t>(name) < 0x10000; }

}  // namespace

std::shared_ptr<WindowClass> FindClass(LPCWSTR name) {
    ClassTable& t = Classes();
    std::lock_guard lock(t.mutex);
    if (!name) return nullptr;
    if (IsAtom(name)) {
        const ATOM atom = ATOM(reinterpret_cast<std::uintptr_t>(name));
        for (auto& [key, cls] : t.byName)
            if (cls->atom == atom) return cls;
        return nullptr;
    }
    auto it = t.byName.find(ToLowerAscii(name));
    return it == t.byName.end() ? nullptr : it->second;
}

}  // namespace plat::ui

using namespace plat::ui;

ATOM RegisterClassExW(const WNDCLASSEXW* wc) {
    if (!wc || wc->cbSize != sizeof(WNDCLASSEXW) || !wc->lpfnWndProc || !wc->lpszClassName ||
        reinterpret_cast<std::uintptr_t>(wc->lpszClassName) < 0x10000 || wc->cbWndExtra < 0 || wc->cbWndExtra > 40000) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto cls = std::make_shared<WindowClass>();
    cls->name = wc->lpszClassName;
    cls->info = *wc;
    cls->info.lpszClassName = cls->name.c_str();

    ClassTable& t = Classes();
    std::lock_guard lock(t.mutex);
    const std::u16string key = plat::ToLowerAscii(cls->name);
    if (t.byName.count(key)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    cls->atom = t.nextAtom++;
    t.byName.emplace(key, cls);
    return cls->atom;
}

BOOL UnregisterClassW(LPCWSTR name, HINSTANCE) {
    auto cls = FindClass(name);
    if (!cls) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    {
        std::lock_guard lock(WindowsMutex());
        for (const auto& w : AllWindows()) {
            if (w->cls == cls) {
                SetLastError(ERROR_CLASS_HAS_WINDOWS);
                return FALSE;
            }
        }
    }
    ClassTable& t = Classes();
    std::lock_guard lock(t.mutex);
    t.byName.erase(plat::ToLowerAscii(cls->name));
    return TRUE;
}

BOOL GetClassInfoExW(HINSTANCE, LPCWSTR name, WNDCLASSEXW* wc) {
    auto cls = FindClass(name);
    if (!cls || !wc) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    *wc = cls->info;
    return cls->atom;
}
