// The master's address as a user writes it: "A.B.C.D", "A.B.C.D:PORT",
// "localhost" or "localhost:PORT" (no name look-ups: nothing leaves the
// machine to find a master).
#pragma once

#include <string>

#include "SocketAddress.h"

// False, with a sentence in `error` that names the bad part, when the text
// is no IPv4 address with an optional port 1..65535.
bool ParseMasterAddress(const std::string& text, sockaddr_in& address, std::string& error);

// "A.B.C.D:PORT"
std::string AddressText(const sockaddr_in& address);
