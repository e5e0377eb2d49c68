// A peer as the protocol's rules see it (Endpoint) and as the platform's
// sockets take it (sockaddr_in), for the modules and the programs beside
// them alike. The one place outside the modules' Platform.h that picks the
// platform's socket headers.
#pragma once

#ifdef _WIN32
// The Windows SDK's windows.h (which winsock2.h includes) defines min and
// max as macros unless told not to.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

#include <cstring>

#include "Endpoint.h"

inline Endpoint EndpointOf(const sockaddr_in& address) {
    Endpoint endpoint;
    endpoint.address = address.sin_addr.s_addr;
    endpoint.port = address.sin_port;
    return endpoint;
}

inline sockaddr_in AddressOf(const Endpoint& endpoint) {
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = endpoint.address;
    address.sin_port = endpoint.port;
    return address;
}
