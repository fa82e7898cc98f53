#include "ui/registered_messages.h"

#include <map>
#include <mutex>
#include <string>

#include "base/last_error.h"
#include "base/text.h"
#include "base/win_errors.h"

namespace {

constexpr UINT kFirst = 0xC000;
constexpr UINT kLast = 0xFFFF;

}  // namespace

UINT RegisterWindowMessageW(LPCWSTR name) {
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    static std::mutex mutex;
    static std::map<std::u16string, UINT> numbers;
    std::lock_guard lock(mutex);
    const auto [it, added] = numbers.emplace(plat::ToLowerAscii(name), 0);
    if (!added) return it->second;
    if (numbers.size() > kLast - kFirst + 1) {
        numbers.erase(it);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    it->second = kFirst + UINT(numbers.size() - 1);
    return it->second;
}
