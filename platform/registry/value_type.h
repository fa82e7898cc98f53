// Which value types the registry accepts and what their data must look like.
#pragma once

#include <span>

#include "base/wintypes.h"

namespace plat::reg {

// STATUS_INVALID_PARAMETER for a type Windows does not define (above
// REG_QWORD), REG_DWORD / REG_DWORD_BIG_ENDIAN data not 4 bytes long,
// REG_QWORD data not 8 bytes long, string types with an odd byte length,
// and a null data pointer with a non-zero size.
NTSTATUS CheckValueData(DWORD type, const void* data, std::size_t size);

}  // namespace plat::reg
