// A peer's IPv4 address and UDP port, as the protocol's rules see it: both
// in network byte order, as a socket address holds them, so no conversion
// is needed on the way in or out. Host-free and platform-free.
#pragma once

#include <cstdint>
#include <string>

struct Endpoint {
    uint32_t address = 0;  // network byte order
    uint16_t port = 0;     // network byte order

    uint64_t Key() const { return (static_cast<uint64_t>(address) << 16) | port; }
    bool operator==(const Endpoint& other) const { return address == other.address && port == other.port; }
    bool operator!=(const Endpoint& other) const { return !(*this == other); }
};

// "a.b.c.d" of an address in network byte order.
std::string AddressText(uint32_t address);
// "a.b.c.d:port".
std::string EndpointText(const Endpoint& endpoint);
// A dotted IPv4 address into network byte order; false for anything else
// (names, missing or extra parts, parts above 255, signs, blanks).
bool ParseDottedAddress(const char* text, size_t length, uint32_t& address);
