// The directory-service interfaces, in the shape of their COM originals:
// reference-counted objects reached with QueryInterface, bound with
// ADsGetObject("LDAP://host" or an object's ADsPath), searched through
// IDirectorySearch, groups enumerated through IEnumVARIANT. Strings are
// returned as std::u16string instead of BSTRs. The directory behind them is
// the account database's (none on a plain Linux host).
#pragma once

#include <string>
#include <vector>

#include "base/hresult.h"
#include "security/sid.h"

inline bool operator==(const GUID& a, const GUID& b) {
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           std::equal(std::begin(a.Data4), std::end(a.Data4), std::begin(b.Data4));
}

inline constexpr GUID IID_IUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr GUID IID_IADs{0xFD8256D0, 0xFD15, 0x11CE, {0xAB, 0xC4, 0x02, 0x60, 0x8C, 0x9E, 0x75, 0x53}};
inline constexpr GUID IID_IADsGroup{0x27636B00, 0x410F, 0x11CF, {0xB1, 0xFF, 0x02, 0x60, 0x8C, 0x9E, 0x75, 0x53}};
inline constexpr GUID IID_IADsUser{0x3E37E320, 0x17E2, 0x11CF, {0xAB, 0xC4, 0x02, 0x60, 0x8C, 0x9E, 0x75, 0x53}};
inline constexpr GUID IID_IADsMembers{0x451A0030, 0x72EC, 0x11CF, {0xB0, 0x3B, 0x00, 0xAA, 0x00, 0x6E, 0x09, 0x75}};
inline constexpr GUID IID_IEnumVARIANT{0x00020404, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr GUID IID_IDirectorySearch{0x109BA8EC, 0x92F0, 0x11D0, {0xA7, 0x90, 0x00, 0xC0, 0x4F, 0xD8, 0xD5, 0xA8}};

struct IUnknown {
    virtual HRESULT QueryInterface(const GUID& iid, void** out) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    virtual ~IUnknown() = default;
};

using VARTYPE = WORD;
inline constexpr VARTYPE VT_EMPTY = 0;
inline constexpr VARTYPE VT_BSTR = 8;
inline constexpr VARTYPE VT_DISPATCH = 9;
inline constexpr VARTYPE VT_UI1 = 17;
inline constexpr VARTYPE VT_ARRAY = 0x2000;

// A variant holding an object (VT_DISPATCH, one reference), a string
// (VT_BSTR) or a byte array (VT_ARRAY | VT_UI1).
struct VARIANT {
    VARTYPE vt = VT_EMPTY;
    IUnknown* pdispVal = nullptr;
    std::u16string bstrVal;
    std::vector<BYTE> bytes;
};
void VariantInit(VARIANT* v);
HRESULT VariantClear(VARIANT* v);

struct IADs : IUnknown {
    virtual HRESULT get_Name(std::u16string* out) = 0;
    virtual HRESULT get_Class(std::u16string* out) = 0;
    virtual HRESULT get_ADsPath(std::u16string* out) = 0;
    // "objectSid" gives VT_ARRAY | VT_UI1; "cn", "name", "ADsPath" a string.
    virtual HRESULT Get(const std::u16string& property, VARIANT* out) = 0;
};

struct IADsUser : IADs {
    virtual HRESULT get_FullName(std::u16string* out) = 0;
};

struct IADsMembers : IUnknown {
    virtual HRESULT get__NewEnum(IUnknown** out) = 0;
};

struct IADsGroup : IADs {
    virtual HRESULT Members(IADsMembers** out) = 0;
};

struct IEnumVARIANT : IUnknown {
    // S_OK when all `count` were fetched, S_FALSE when fewer.
    virtual HRESULT Next(ULONG count, VARIANT* out, ULONG* fetched) = 0;
};

using ADS_SEARCH_HANDLE = void*;

struct ADS_SEARCH_COLUMN {
    std::u16string pszAttrName;
    std::vector<std::u16string> values;
};

struct IDirectorySearch : IUnknown {
    // Filters of the form "(attr=value)" or "attr=value" on cn, name or
    // objectClass; `attributes` names the columns rows will have.
    virtual HRESULT ExecuteSearch(const WCHAR* filter, const WCHAR* const* attributes, DWORD count,
                                  ADS_SEARCH_HANDLE* handle) = 0;
    // S_OK, or S_ADS_NOMORE_ROWS past the last row.
    virtual HRESULT GetNextRow(ADS_SEARCH_HANDLE handle) = 0;
    virtual HRESULT GetColumn(ADS_SEARCH_HANDLE handle, const WCHAR* name, ADS_SEARCH_COLUMN* column) = 0;
    virtual HRESULT FreeColumn(ADS_SEARCH_COLUMN* column) = 0;
    virtual HRESULT CloseSearchHandle(ADS_SEARCH_HANDLE handle) = 0;
};

// COM is counted per thread; the directory calls need it initialised.
HRESULT CoInitialize(void* reserved);
void CoUninitialize();

HRESULT ADsGetObject(const WCHAR* path, const GUID& iid, void** out);
HRESULT ADsEnumerateNext(IEnumVARIANT* e, ULONG count, VARIANT* out, ULONG* fetched);
// The last extended error of the directory calls on this thread.
HRESULT ADsGetLastError(DWORD* error, WCHAR* buffer, DWORD buffer_chars, WCHAR* provider, DWORD provider_chars);
