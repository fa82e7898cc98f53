#include "PackedVersion.h"

#include <vector>

#include "base/format.h"
#include "resource/version_info.h"

std::u16string PackedVersion::Text() const {
    return plat::Format(u"%lu.%lu.%lu.%lu", Major(), Minor(), Build(), revision);
}

std::optional<PackedVersion> ReadPackedFileVersion(const std::u16string& file_name) {
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(file_name.c_str(), &handle);
    if (size == 0) return std::nullopt;
    std::vector<BYTE> block(size);
    void* value = nullptr;
    UINT length = 0;
    if (!GetFileVersionInfoW(file_name.c_str(), handle, size, block.data()) ||
        !VerQueryValueW(block.data(), u"\\", &value, &length) || length < sizeof(VS_FIXEDFILEINFO)) {
        return std::nullopt;
    }
    const auto* info = static_cast<const VS_FIXEDFILEINFO*>(value);
    return PackedVersion::Of(info->dwFileVersionMS >> 16, info->dwFileVersionMS & 0xFFFF, info->dwFileVersionLS >> 16,
                             info->dwFileVersionLS & 0xFFFF);
}
