#include "MasterAddress.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>

#include "ProtocolConstants.h"

namespace {

bool ParsePort(const std::string& text, uint16_t& port) {
    if (text.empty() || text.size() > 5) return false;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    }
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (value < 1 || value > 65535) return false;
    port = static_cast<uint16_t>(value);
    return true;
}

}  // namespace

bool ParseMasterAddress(const std::string& text, sockaddr_in& address, std::string& error) {
    const size_t colon = text.rfind(':');
    std::string host = colon == std::string::npos ? text : text.substr(0, colon);
    uint16_t port = protocol::kDefaultMasterPort;
    if (colon != std::string::npos && !ParsePort(text.substr(colon + 1), port)) {
        error = "bad port '" + text.substr(colon + 1) + "' in '" + text + "' (a number from 1 to 65535)";
        return false;
    }
    if (host == "localhost") host = "127.0.0.1";
    in_addr parsed{};
    if (host.empty() || inet_pton(AF_INET, host.c_str(), &parsed) != 1) {
        error = "bad master address '" + host + "' (an IPv4 address such as 127.0.0.1, or localhost)";
        return false;
    }
    if (parsed.s_addr == htonl(INADDR_ANY) || parsed.s_addr == htonl(INADDR_BROADCAST)) {
        error = "bad master address '" + host + "' (a master has an address of its own)";
        return false;
    }
    address = sockaddr_in{};
    address.sin_family = AF_INET;
    address.sin_addr = parsed;
    address.sin_port = htons(port);
    return true;
}

std::string AddressText(const sockaddr_in& address) {
    char text[INET_ADDRSTRLEN] = "?";
    inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(address.sin_port));
}
