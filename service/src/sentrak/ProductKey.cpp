#include "ProductKey.h"

#include <cstdio>
#include <string>

#include "FailureText.h"
#include "base/text.h"
#include "engine/HistoryStore.h"
#include "registry/registry.h"

namespace {

std::string MachinePath(const char16_t* key) { return "HKLM\\" + plat::Utf16ToUtf8(key); }

}  // namespace

void CreateProductKey() {
    HKEY key = nullptr;
    const LONG result = RegCreateKeyExW(HKEY_LOCAL_MACHINE, history::kProductKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                        nullptr, &key, nullptr);
    if (result == ERROR_SUCCESS) {
        RegCloseKey(key);
        return;
    }
    std::fprintf(stderr, "sentrak: cannot create %s, so the drives' history will not be kept: %s\n",
                 MachinePath(history::kProductKey).c_str(), FailureText(static_cast<DWORD>(result)).c_str());
}

void SayWhenHistoryIsNotKept(NTSTATUS probe) {
    if (NT_SUCCESS(probe)) return;
    const std::string product = MachinePath(history::kProductKey);
    const std::string history = MachinePath(history::kHistoryKey);
    if (probe == STATUS_OBJECT_NAME_NOT_FOUND || probe == STATUS_OBJECT_PATH_NOT_FOUND) {
        std::fprintf(stderr,
                     "sentrak: the drives' history will not be kept: %s does not exist; create it with "
                     "lumetra-reg create '%s' (installing the service with sentrak -Service does)\n",
                     product.c_str(), product.c_str());
    } else if (probe == STATUS_ACCESS_DENIED) {
        std::fprintf(stderr,
                     "sentrak: the drives' history will not be kept: this user cannot write %s (the machine "
                     "store); run sentrak as root\n",
                     history.c_str());
    } else {
        std::fprintf(stderr, "sentrak: the drives' history will not be kept: %s cannot be opened (status 0x%08X)\n",
                     history.c_str(), static_cast<unsigned>(probe));
    }
}
