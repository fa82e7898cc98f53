// The address sentrak listens on: the loopback address 127.0.0.1, where the
// GUI connects, unless LUMETRA_SMART_LISTEN names another IPv4 address of
// the machine ("0.0.0.0" for all of them). Listening where other hosts can
// reach the service is a choice its administrator makes explicitly: every
// peer is then admitted, and a peer's registration only claims a user.
#pragma once

#include <optional>
#include <string>

#include "net/winsock_types.h"

inline constexpr char kListenVariable[] = "LUMETRA_SMART_LISTEN";

struct ListenSetting {
    std::string text;               // the variable's value, empty when unset
    std::optional<in_addr> address; // none: `text` is not a dotted IPv4 address
};

ListenSetting ListenSettingFromEnvironment();
// Dotted form: "127.0.0.1".
std::string AddressText(in_addr address);
