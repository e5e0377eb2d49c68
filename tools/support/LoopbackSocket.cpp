#include "LoopbackSocket.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <random>

namespace faulttools {

namespace {

constexpr int kSocketBufferBytes = 8 * 1024 * 1024;

bool ParsePort(const std::string& text, uint16_t& port) {
    if (text.empty() || text.size() > 5) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (value < 1 || value > 65535) return false;
    port = static_cast<uint16_t>(value);
    return true;
}

}  // namespace

bool IsLoopback(const sockaddr_in& address) {
    return address.sin_family == AF_INET && (ntohl(address.sin_addr.s_addr) >> 24) == 127;
}

bool ParseLoopbackEndpoint(const std::string& text, sockaddr_in& address, std::string& error) {
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    const size_t colon = text.rfind(':');
    std::string host = colon == std::string::npos ? "127.0.0.1" : text.substr(0, colon);
    const std::string portText = colon == std::string::npos ? text : text.substr(colon + 1);
    if (host == "localhost") host = "127.0.0.1";
    uint16_t port = 0;
    if (!ParsePort(portText, port)) {
        error = "bad port in '" + text + "'";
        return false;
    }
    if (inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1) {
        error = "bad address in '" + text + "' (an IPv4 loopback address)";
        return false;
    }
    if (!IsLoopback(address)) {
        error = "'" + text + "' is not on loopback (127.0.0.0/8): refused";
        return false;
    }
    address.sin_port = htons(port);
    return true;
}

std::string FormatEndpoint(const sockaddr_in& address) {
    char host[INET_ADDRSTRLEN] = "?";
    inet_ntop(AF_INET, &address.sin_addr, host, sizeof host);
    return std::string(host) + ":" + std::to_string(ntohs(address.sin_port));
}

bool OpenLoopbackSocket(UdpSocket& socket, uint16_t port, std::string& error) {
    SocketSettings settings;
    settings.local = LoopbackAddressOn(port);
    // The system may cap the sizes: that only costs losses under load.
    settings.receiveBuffer = kSocketBufferBytes;
    settings.sendBuffer = kSocketBufferBytes;
    const SocketSetup setup = socket.Open(settings);
    if (setup.failed == SocketStep::kDone) return true;
    error = "bind 127.0.0.1:" + std::to_string(port) + ": " + socket.ErrorText(setup.error);
    socket.Close();
    return false;
}

uint16_t BoundPort(const UdpSocket& socket) { return ntohs(socket.LocalAddress().sin_port); }

double MonotonicSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double WallSeconds() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

bool ChooseSeed(const std::string& text, uint64_t& seed) {
    if (text.empty()) {
        std::random_device device;
        seed = (static_cast<uint64_t>(device()) << 32) ^ device();
        return true;
    }
    char* end = nullptr;
    errno = 0;
    seed = std::strtoull(text.c_str(), &end, 0);
    return end != text.c_str() && *end == '\0' && errno == 0;
}

}  // namespace faulttools
