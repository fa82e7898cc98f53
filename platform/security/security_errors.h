// Error codes of the account, token and network-management calls, with
// their Windows values, beyond those of base/win_errors.h.
#pragma once

#include "base/hresult.h"
#include "base/win_errors.h"

inline constexpr DWORD ERROR_NO_TOKEN = 1008;
inline constexpr DWORD ERROR_INVALID_LEVEL = 124;
inline constexpr DWORD NERR_Success = 0;
inline constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0u);
