// Value type rules.
#include "registry/value_type.h"

#include "base/ntstatus.h"
#include "registry/registry.h"

namespace plat::reg {

NTSTATUS CheckValueData(DWORD type, const void* data, std::size_t size) {
    if (data == nullptr && size != 0) return STATUS_INVALID_PARAMETER;
    switch (type) {
        case REG_DWORD:
        case REG_DWORD_BIG_ENDIAN:
            return size == sizeof(DWORD) ? STATUS_SUCCESS : STATUS_INVALID_PARAMETER;
        case REG_QWORD:
            return size == sizeof(ULONGLONG) ? STATUS_SUCCESS : STATUS_INVALID_PARAMETER;
        case REG_SZ:
        case REG_EXPAND_SZ:
        case REG_MULTI_SZ:
        case REG_LINK:
            return size % sizeof(WCHAR) == 0 ? STATUS_SUCCESS : STATUS_INVALID_PARAMETER;
        default:
            return type <= REG_QWORD ? STATUS_SUCCESS : STATUS_INVALID_PARAMETER;
    }
}

}  // namespace plat::reg
