// Resource identifiers, types and the fixed version record. Identifiers are
// numeric (MAKEINTRESOURCEW); the animation clip type may also be named by
// its Windows string "AVI".
#pragma once

#include <cstdint>

#include "base/wintypes.h"
#include "ui/ui_types.h"

struct HRSRC__ {
    int unused;
};
using HRSRC = HRSRC__*;
using HGLOBAL = void*;

inline LPCWSTR MAKEINTRESOURCEW(unsigned id) { return reinterpret_cast<LPCWSTR>(std::uintptr_t(WORD(id))); }
inline bool IS_INTRESOURCE(LPCWSTR p) { return (reinterpret_cast<std::uintptr_t>(p) >> 16) == 0; }

// Resource type numbers (Windows values). The clip type has no number on
// Windows; RT_AVI is this library's number for it.
constexpr WORD RT_BITMAP = 2;
constexpr WORD RT_ICON = 3;
constexpr WORD RT_MENU = 4;
constexpr WORD RT_DIALOG = 5;
constexpr WORD RT_STRING = 6;
constexpr WORD RT_VERSION = 16;
constexpr WORD RT_AVI = 0x7F01;

// VS_FIXEDFILEINFO, 52 bytes, as VerQueryValueW(L"\\") returns it.
struct VS_FIXEDFILEINFO {
    DWORD dwSignature;  // 0xFEEF04BD
    DWORD dwStrucVersion;
    DWORD dwFileVersionMS;
    DWORD dwFileVersionLS;
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
};
static_assert(sizeof(VS_FIXEDFILEINFO) == 52);
constexpr DWORD VS_FFI_SIGNATURE = 0xFEEF04BD;
