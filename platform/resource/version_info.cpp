#include "resource/version_info.h"

#include <cstring>
#include <string>

#include "base/last_error.h"
#include "base/win_errors.h"
#include "resource/byte_stream.h"
#include "resource/module.h"

namespace {

const std::u16string kVersionKey = u"VS_VERSION_INFO";
// WORD length, WORD value length, WORD type, key text, padding to 4 bytes.
constexpr std::size_t kValueOffset = (6 + 2 * 16 + 3) / 4 * 4;

}  // namespace

namespace plat::resource {

std::vector<std::uint8_t> BuildVersionInfo(const std::array<WORD, 4>& v) {
    const DWORD ms = (DWORD(v[0]) << 16) | v[1];
    const DWORD ls = (DWORD(v[2]) << 16) | v[3];
    ByteWriter w;
    w.U16(WORD(kValueOffset + sizeof(VS_FIXEDFILEINFO)));
    w.U16(sizeof(VS_FIXEDFILEINFO));
    w.U16(0);  // binary value
    w.Text(kVersionKey);
    w.Align4();
    for (DWORD field : {VS_FFI_SIGNATURE, DWORD(0x00010000), ms, ls, ms, ls, DWORD(0x3F), DWORD(0),
                        DWORD(0x00040004) /* VOS_NT_WINDOWS32 */, DWORD(2) /* VFT_DLL */, DWORD(0), DWORD(0), DWORD(0)})
        w.U32(field);
    return std::move(w.Out());
}

}  // namespace plat::resource

namespace {

// Loads the file's version record into `out`; false with last error set.
bool ReadVersionRecord(LPCWSTR file_name, std::vector<std::uint8_t>& out) {
    HMODULE module = LoadLibraryW(file_name);
    if (!module) return false;
    const auto data = plat::resource::FindResourceData(module, RT_VERSION, 1);
    if (data) out.assign(data->begin(), data->end());
    FreeLibrary(module);
    if (!data) SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return data.has_value();
}

}  // namespace

DWORD GetFileVersionInfoSizeW(LPCWSTR file_name, DWORD* handle) {
    if (handle) *handle = 0;
    std::vector<std::uint8_t> record;
    return ReadVersionRecord(file_name, record) ? DWORD(record.size()) : 0;
}

BOOL GetFileVersionInfoW(LPCWSTR file_name, DWORD, DWORD length, LPVOID data) {
    std::vector<std::uint8_t> record;
    if (!data) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!ReadVersionRecord(file_name, record)) return FALSE;
    std::memcpy(data, record.data(), std::min<std::size_t>(length, record.size()));
    if (length < record.size()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    return TRUE;
}

BOOL VerQueryValueW(LPCVOID block, LPCWSTR sub_block, LPVOID* buffer, UINT* length) {
    if (!block || !sub_block || !buffer || !length) return FALSE;
    const auto* bytes = static_cast<const std::uint8_t*>(block);
    const WORD total = WORD(bytes[0] | (bytes[1] << 8));
    const WORD value_length = WORD(bytes[2] | (bytes[3] << 8));
    if (std::u16string_view(sub_block) != u"\\" || value_length != sizeof(VS_FIXEDFILEINFO) ||
        total < kValueOffset + sizeof(VS_FIXEDFILEINFO)) {
        *length = 0;
        return FALSE;
    }
    *buffer = const_cast<std::uint8_t*>(bytes + kValueOffset);
    *length = sizeof(VS_FIXEDFILEINFO);
    return TRUE;
}
