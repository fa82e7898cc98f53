// The eight message classes of the S.M.A.R.T. request protocol decoding
// bytes a peer sent. A message that decodes must encode again to the same
// bytes: decoding accepts only exact payloads, so anything else means a
// field was read from the wrong place or past its end.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "marshal/SmartMarshalMessages.h"

namespace {

template <typename Message>
void DecodeAs(const uint8_t* data, size_t size) {
    CZmArchive in(data, static_cast<DWORD>(size));
    Message message;
    if (!message.DecodeMessage(in)) return;
    CZmArchive out;
    if (!message.EncodeMessage(out)) std::abort();
    if (out.GetLength(TRUE) != size || std::memcmp(out.GetBuffer(TRUE), data, size) != 0) std::abort();
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
