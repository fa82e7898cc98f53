// The registration record as the service reads it when a peer asks to be
// admitted: its size, user name, and a SID whose stated length and
// sub-authority count may disagree with the bytes; an admitted SID is
// turned into text and checked for administrator rights.
#include <cstdint>
#include <cstdlib>

#include "security/CheckAdminRights.h"
#include "sockets/RegistrationRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    RegistrationRecord record;
    if (!RegistrationRecord::Parse(data, static_cast<DWORD>(size), &record)) return 0;
    if (record.UserName().size() >= RegistrationRecord::kNameChars) std::abort();
    const std::vector<BYTE> sid = record.Sid();
    if (sid.size() > RegistrationRecord::kMaxSid) std::abort();
    if (sid.empty()) return 0;
    if (WCHAR* text = CCheckAdminRights::ConvertPSIDToString(const_cast<BYTE*>(sid.data()))) delete[] text;
    CCheckAdminRights checker(nullptr);
    checker.AdminRights(nullptr, const_cast<BYTE*>(sid.data()));
    return 0;
}
