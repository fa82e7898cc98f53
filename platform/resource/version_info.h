// The version record (VS_VERSIONINFO with its VS_FIXEDFILEINFO value) and
// GetFileVersionInfoW / VerQueryValueW over it. The record carries the fixed
// version only; string-table queries report "not found".
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "resource/resource_types.h"

namespace plat::resource {

// file version a.b.c.d as four numbers
std::vector<std::uint8_t> BuildVersionInfo(const std::array<WORD, 4>& version);

}  // namespace plat::resource

DWORD GetFileVersionInfoSizeW(LPCWSTR file_name, DWORD* handle);
BOOL GetFileVersionInfoW(LPCWSTR file_name, DWORD handle, DWORD length, LPVOID data);
BOOL VerQueryValueW(LPCVOID block, LPCWSTR sub_block, LPVOID* buffer, UINT* length);
