#include "marshal/SmartServicePort.h"

#include <charconv>
#include <cstdlib>
#include <cstring>

WORD SmartServicePort() {
    const char* text = std::getenv(kSmartPortVariable);
    if (!text) return kSmartServicePort;
    unsigned value = 0;
    const char* end = text + std::strlen(text);
    const auto [rest, error] = std::from_chars(text, end, value);
    if (error != std::errc() || rest != end || value == 0 || value > 65535) return kSmartServicePort;
    return static_cast<WORD>(value);
}
