// helmscope's command line.
#pragma once

#include <string>

#include "SocketAddress.h"

struct ScopeOptions {
    enum class Output { kLive, kJson, kOnce };
    sockaddr_in master{};
    Output output = Output::kLive;
    double seconds = 0.0;  // 0: the live view runs until interrupted
    double refreshHz = 4.0;
    bool help = false;
};

// False with a sentence in `error` for a bad argument.
bool ParseScopeOptions(int argc, char** argv, ScopeOptions& options, std::string& error);

extern const char* const kScopeUsage;
