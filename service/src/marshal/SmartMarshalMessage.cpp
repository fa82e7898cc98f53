#include "marshal/SmartMarshalMessage.h"

#include "smart/LittleEndian.h"

bool CSmartMarshalMessage::EncodeMessage(CZmArchive& archive) const {
    return Put32(archive, m_code) && Put32(archive, m_status) && Encode(archive);
}

bool CSmartMarshalMessage::DecodeMessage(CZmArchive& archive) {
    return ReadHeader(archive, m_code, m_status) && Decode(archive);
}

bool CSmartMarshalMessage::ReadHeader(CZmArchive& archive, DWORD& code, DWORD& status) {
    if (Remaining(archive) < kSmartHeaderSize) return false;
    archive.Get32(code).Get32(status);
    return true;
}

bool CSmartMarshalMessage::Put8(CZmArchive& archive, BYTE value) { return archive.PutBytes(&value, 1) != 0; }

bool CSmartMarshalMessage::Put32(CZmArchive& archive, DWORD value) {
    BYTE bytes[4];
    smart_le::Put32(bytes, value);
    return archive.PutBytes(bytes, sizeof bytes) != 0;
}

bool CSmartMarshalMessage::Put64(CZmArchive& archive, ULONGLONG value) {
    BYTE bytes[8];
    smart_le::Put64(bytes, value);
    return archive.PutBytes(bytes, sizeof bytes) != 0;
}
