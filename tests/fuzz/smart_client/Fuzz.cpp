// The GUI's S.M.A.R.T. client decoding the service's answers: the first
// input byte chooses the operation, the rest is the answer the "service"
// gives, so device lists with hostile counts, answers with the wrong code
// and records with damaged fields all reach the client's decoding. The
// record it updates must keep its links whatever arrives.
#include <cstdint>
#include <cstdlib>

#include "SmartMarshalingClient.h"

namespace {

class AnsweringClient : public CSmartMarshalingClient {
public:
    AnsweringClient(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool SendRequest(CZmArchive&, CZmArchive& response) override {
        response.Reset();
        return response.PutBytes(m_data, static_cast<DWORD>(m_size)) != 0 || m_size == 0;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
};

void RunOperation(CSmart& smart, unsigned operation, SmartDevice* device) {
    switch (operation % 14) {
    case 0: FreeSmartDeviceList(smart.GetDevices()); break;
    case 1: smart.EnableSmart(device); break;
    case 2: smart.DisableSmart(device); break;
    case 3: smart.ReadCapabilities(device); break;
    case 4: smart.ReadAttributes(device); break;
    case 5: smart.ReadStatus(device); break;
    case 6: smart.EnableAutosave(device); break;
    case 7: smart.DisableAutosave(device); break;
    case 8: smart.EnableAutoOffline(device); break;
    case 9: smart.DisableAutoOffline(device); break;
    case 10: {
        BYTE* block = nullptr;
        if (smart.ReadLog(device, 0, &block) != (block != nullptr)) std::abort();
        delete[] block;
        break;
    }
    case 11: smart.ExecuteSelfTest(device, 1); break;
    case 12: {
        DWORD remaining = 0;
        BYTE status = 0;
        smart.ReadSelfTestData(device, &remaining, &status);
        break;
    }
    default: smart.AbortSelfTest(device); break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    AnsweringClient client(data + 1, size - 1);
    SmartDevice next;
    SmartDevice device;
    device.serverId = 7;
    device.next = &next;
    device.engineLink = &client;
    RunOperation(client, data[0], &device);
    if (device.next != &next || device.engineLink != &client) std::abort();
    return 0;
}
