// HRESULT values the system's helpers return, with their Windows values.
#pragma once

#include "base/wintypes.h"

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
constexpr HRESULT E_ACCESSDENIED = static_cast<HRESULT>(0x80070005u);
constexpr HRESULT E_HANDLE = static_cast<HRESULT>(0x80070006u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT E_ADS_BAD_PATHNAME = static_cast<HRESULT>(0x80005000u);
constexpr HRESULT E_ADS_PROPERTY_NOT_FOUND = static_cast<HRESULT>(0x8000500Du);
constexpr HRESULT S_ADS_NOMORE_ROWS = static_cast<HRESULT>(0x00005012u);

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

// A Win32 error code carried as an HRESULT (facility 7).
constexpr HRESULT HRESULT_FROM_WIN32(DWORD err) {
    return err == 0 ? S_OK
                    : static_cast<HRESULT>((err & 0x0000FFFFu) | (7u << 16) | 0x80000000u);
}
