// Whether a relay is an end of a trunk, which end, where and with which key.
#pragma once

#include <string>

#include "SocketAddress.h"

struct TrunkSettings {
    enum class Role { kNone, kNear, kFar };
    Role role = Role::kNone;
    sockaddr_in address{};  // near end: where it listens; far end: the near end
    std::string keyFile;    // empty with insecure
    bool insecure = false;
};
