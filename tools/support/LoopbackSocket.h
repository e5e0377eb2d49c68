// What every fault tool shares: addresses are loopback or refused, sockets
// are non-blocking UDP on loopback, times come from one monotonic clock.
#pragma once

#include <cstdint>
#include <string>

#include "UdpSocket.h"

namespace faulttools {

// "PORT", "HOST:PORT" with HOST in 127.0.0.0/8 or "localhost". False (and a
// reason) for anything else, so no tool can be pointed off this machine.
bool ParseLoopbackEndpoint(const std::string& text, sockaddr_in& address, std::string& error);

bool IsLoopback(const sockaddr_in& address);

// "127.0.0.1:40000"
std::string FormatEndpoint(const sockaddr_in& address);

// Opens `socket` on 127.0.0.1:port (0: the system picks), with large
// buffers so that the tool itself loses nothing it did not mean to. False
// on failure, with the reason in error.
bool OpenLoopbackSocket(UdpSocket& socket, uint16_t port, std::string& error);

// The port a socket is bound to, 0 when unknown.
uint16_t BoundPort(const UdpSocket& socket);

// Seconds on the monotonic clock.
double MonotonicSeconds();

// Seconds since the epoch on the wall clock, for lining events up with logs.
double WallSeconds();

// The seed given on the command line, or a fresh one when the text is empty.
// False when the text is not a number.
bool ChooseSeed(const std::string& text, uint64_t& seed);

}  // namespace faulttools
