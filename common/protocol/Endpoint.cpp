#include "Endpoint.h"

#include <cstdio>

namespace {

// Network byte order is big-endian whatever the machine's order: the first
// byte in memory is the first part of the dotted form.
void Bytes(uint32_t address, unsigned char (&parts)[4]) {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&address);
    for (int i = 0; i < 4; ++i) parts[i] = bytes[i];
}

uint32_t FromBytes(const unsigned char (&parts)[4]) {
    uint32_t address = 0;
    unsigned char* bytes = reinterpret_cast<unsigned char*>(&address);
    for (int i = 0; i < 4; ++i) bytes[i] = parts[i];
    return address;
}

}  // namespace

std::string AddressText(uint32_t address) {
    unsigned char p[4];
    Bytes(address, p);
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", p[0], p[1], p[2], p[3]);
    return text;
}

std::string EndpointText(const Endpoint& endpoint) {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&endpoint.port);
    return AddressText(endpoint.address) + ":" + std::to_string((bytes[0] << 8) | bytes[1]);
}

bool ParseDottedAddress(const char* text, size_t length, uint32_t& address) {
    unsigned char parts[4];
    size_t at = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (at >= length || text[at] != '.') return false;
            ++at;
        }
        unsigned value = 0;
        size_t digits = 0;
        while (at < length && text[at] >= '0' && text[at] <= '9' && digits < 4) {
            value = value * 10 + static_cast<unsigned>(text[at] - '0');
            ++at;
            ++digits;
        }
        if (digits == 0 || digits > 3 || value > 255) return false;
        parts[part] = static_cast<unsigned char>(value);
    }
    if (at != length) return false;
    address = FromBytes(parts);
    return true;
}
