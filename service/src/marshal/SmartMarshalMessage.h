// CSmartMarshalMessage: one message of the S.M.A.R.T. request protocol, the
// byte image of a CZmArchive: the 8-byte header (code, status; u32 each),
// then the payload of the derived class, all little-endian, no length
// prefixes. Encode and Decode (the two virtual slots, in this order) handle
// the payload only; EncodeMessage and DecodeMessage add the header.
//
// Encoding appends at the archive's position, which callers keep at its end
// (a fresh or Reset archive); decoding reads from the position on.
#pragma once

#include "archive/ZmArchive.h"
#include "base/wintypes.h"

inline constexpr DWORD kSmartHeaderSize = 8;

class CSmartMarshalMessage {
public:
    explicit CSmartMarshalMessage(DWORD code = 0, DWORD status = 0) : m_code(code), m_status(status) {}

    // The payload; false when the archive could not take it all.
    virtual bool Encode(CZmArchive& archive) const = 0;
    // The payload; false when what remains is not exactly this class's
    // payload (each class says what it accepts).
    virtual bool Decode(CZmArchive& archive) = 0;
    virtual ~CSmartMarshalMessage() = default;

    bool EncodeMessage(CZmArchive& archive) const;
    // Header, then Decode; false when fewer than 8 bytes remain or the
    // payload does not decode.
    bool DecodeMessage(CZmArchive& archive);

    // Code and status from the next 8 bytes; false (outputs unchanged,
    // nothing read) when fewer remain.
    static bool ReadHeader(CZmArchive& archive, DWORD& code, DWORD& status);

    DWORD Code() const { return m_code; }
    DWORD Status() const { return m_status; }
    void SetCode(DWORD code) { m_code = code; }
    void SetStatus(DWORD status) { m_status = status; }

protected:
    CSmartMarshalMessage(const CSmartMarshalMessage&) = default;
    CSmartMarshalMessage& operator=(const CSmartMarshalMessage&) = default;

    // Appends little-endian values; false when the archive did not take them.
    static bool Put8(CZmArchive& archive, BYTE value);
    static bool Put32(CZmArchive& archive, DWORD value);
    static bool Put64(CZmArchive& archive, ULONGLONG value);
    static DWORD Remaining(CZmArchive& archive) { return archive.GetLength(FALSE); }

private:
    DWORD m_code;
    DWORD m_status;
};
