#include "version/VersionRecord.h"

#include <elf.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <vector>

#include "base/hresult.h"
#include "base/last_error.h"
#include "base/win_errors.h"

namespace version {

namespace {

HRESULT Fail(DWORD error) {
    SetLastError(error);
    return HRESULT_FROM_WIN32(error);
}

bool ReadAt(std::ifstream& in, std::uint64_t offset, void* out, std::size_t size) {
    in.seekg(static_cast<std::streamoff>(offset));
    return static_cast<bool>(in.read(static_cast<char*>(out), static_cast<std::streamsize>(size)));
}

}  // namespace

std::array<DWORD, 4> Unpack(PackedVersion v) { return {v.high >> 24, (v.high >> 16) & 0xFF, v.high & 0xFFFF, v.low}; }

HRESULT ReadVersionRecord(const std::string& path, VersionRecord& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return Fail(Win32ErrorFromErrno(errno));

    Elf64_Ehdr header{};
    if (!ReadAt(in, 0, &header, sizeof header) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_shentsize != sizeof(Elf64_Shdr) ||
        header.e_shstrndx >= header.e_shnum) {
        return Fail(ERROR_BAD_FORMAT);
    }
    std::vector<Elf64_Shdr> sections(header.e_shnum);
    if (!ReadAt(in, header.e_shoff, sections.data(), sections.size() * sizeof(Elf64_Shdr))) {
        return Fail(ERROR_BAD_FORMAT);
    }
    const Elf64_Shdr& names = sections[header.e_shstrndx];
    std::vector<char> name_table(names.sh_size + 1, '\0');
    if (!ReadAt(in, names.sh_offset, name_table.data(), names.sh_size)) return Fail(ERROR_BAD_FORMAT);

    for (const Elf64_Shdr& section : sections) {
        if (section.sh_name >= names.sh_size || std::strcmp(&name_table[section.sh_name], kSectionName) != 0) continue;
        VersionRecord record;
        if (section.sh_size < sizeof record || !ReadAt(in, section.sh_offset, &record, sizeof record) ||
            record.magic != kMagic) {
            return Fail(ERROR_BAD_FORMAT);
        }
        out = record;
        return S_OK;
    }
    return Fail(ERROR_RESOURCE_TYPE_NOT_FOUND);
}

}  // namespace version
