// The eight message classes of the S.M.A.R.T. request protocol decoding
// bytes a peer sent. A message that decodes must encode to bytes that
// decode to the same message: encoding and decoding agree on every field's
// place and width. (Not byte for byte with the input: text fields end at
// their terminator, and the record classes leave trailing bytes unread.)
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "marshal/SmartMarshalMessages.h"

namespace {

bool SameBytes(CZmArchive& a, CZmArchive& b) {
    return a.GetLength(TRUE) == b.GetLength(TRUE) &&
           (a.GetLength(TRUE) == 0 || std::memcmp(a.GetBuffer(TRUE), b.GetBuffer(TRUE), a.GetLength(TRUE)) == 0);
}

template <typename Message>
void DecodeAs(const uint8_t* data, size_t size) {
    CZmArchive in(data, static_cast<DWORD>(size));
    Message message;
    if (!message.DecodeMessage(in)) return;
    CZmArchive encoded;
    if (!message.EncodeMessage(encoded)) std::abort();
    encoded.Seek(0, 0);
    Message again;
    if (!again.DecodeMessage(encoded)) std::abort();
    CZmArchive reencoded;
    if (!again.EncodeMessage(reencoded) || !SameBytes(encoded, reencoded)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DecodeAs<CSmartMarshalVoid>(data, size);
    DecodeAs<CSmartMarshalSmartServerId>(data, size);
    DecodeAs<CSmartMarshalReadLogRequest>(data, size);
    DecodeAs<CSmartMarshalSelfTestRequest>(data, size);
    DecodeAs<CSmartMarshalSmartDevice>(data, size);
    DecodeAs<CSmartMarshalReadLogResponse>(data, size);
    DecodeAs<CSmartMarshalTestResult>(data, size);
    DecodeAs<CSmartMarshalSmartDeviceList>(data, size);
    return 0;
}
