// The module socket's setup, shared by both modules; the caller logs what
// failed, so that the line carries the module's own name.
#pragma once

#include <cstdint>

#include "Platform.h"

// The master's UDP port unless configured otherwise.
constexpr int32_t kDefaultMasterPort = 40000;

// Receive buffer both modules ask for: room for many updates.
constexpr int kSocketReceiveBuffer = 1000000;

enum class SocketStep { kDone, kBind, kReceiveBuffer, kReuseAddress, kResetReports };

struct SocketSetup {
    SocketStep failed = SocketStep::kDone;
    int error = 0;  // WSAGetLastError() of the failed step
};

// Starts Windows Sockets, creates an IPv4 datagram socket into `sock` and
// binds it to all local addresses on `port` (0: the system chooses); then the
// receive buffer, SO_REUSEADDR when asked, and no connection-reset reports.
// Stops at the first step that fails.
SocketSetup OpenUdpSocket(SOCKET& sock, uint16_t port, bool reuseAddress);

// The log line of a failed step: "bind() error: %d" and the like.
const char* SocketStepFormat(SocketStep step);
