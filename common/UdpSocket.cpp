#include "UdpSocket.h"

#include <cstring>

namespace {

SocketSetup Failed(SocketStep step) {
    SocketSetup result;
    result.failed = step;
    result.error = WSAGetLastError();
    return result;
}

bool SetIntOption(SOCKET sock, int option, int value) {
    return setsockopt(sock, SOL_SOCKET, option, reinterpret_cast<const char*>(&value), sizeof value) != SOCKET_ERROR;
}

}  // namespace

SocketSetup OpenUdpSocket(SOCKET& sock, uint16_t port, bool reuseAddress) {
    WSADATA wsaData;
    WSAStartup(MAKEWORD(2, 2), &wsaData);
    // A failure to create shows as the bind failure that follows.
    sock = socket(AF_INET, SOCK_DGRAM, 0);

    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    if (bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) < 0) return Failed(SocketStep::kBind);

    if (!SetIntOption(sock, SO_RCVBUF, kSocketReceiveBuffer)) return Failed(SocketStep::kReceiveBuffer);
    if (reuseAddress && !SetIntOption(sock, SO_REUSEADDR, 1)) return Failed(SocketStep::kReuseAddress);

    // A peer that went away must not turn our next receive into an error.
    DWORD reportResets = 0;
    DWORD bytesReturned = 0;
    if (WSAIoctl(sock, SIO_UDP_CONNRESET, &reportResets, sizeof reportResets, nullptr, 0, &bytesReturned, nullptr,
                 nullptr) == SOCKET_ERROR) {
        return Failed(SocketStep::kResetReports);
    }
    return SocketSetup();
}

const char* SocketStepFormat(SocketStep step) {
    switch (step) {
        case SocketStep::kBind:
            return "bind() error: %d";
        case SocketStep::kReceiveBuffer:
        case SocketStep::kReuseAddress:
            return "setsockopt() error: %d";
        case SocketStep::kResetReports:
            return "WSAIoctl() error: %d";
        case SocketStep::kDone:
            break;
    }
    return "socket setup: %d";
}
