#include "ListenAddress.h"

#include <arpa/inet.h>

#include <cstdlib>

ListenSetting ListenSettingFromEnvironment() {
    ListenSetting setting;
    in_addr address{};
    address.s_addr = htonl(INADDR_LOOPBACK);
    setting.address = address;
    const char* text = std::getenv(kListenVariable);
    if (!text) return setting;
    setting.text = text;
    if (inet_pton(AF_INET, text, &address) == 1)
        setting.address = address;
    else
        setting.address.reset();
    return setting;
}

std::string AddressText(in_addr address) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}
