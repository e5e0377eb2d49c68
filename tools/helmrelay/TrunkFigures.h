// What the relay's view and JSON snapshot show of its trunk.
#pragma once

#include <cstdint>
#include <string>

struct TrunkFigures {
    bool active = false;
    bool nearEnd = false;    // beside the master; else beside the slaves
    bool sealed = false;     // a key authenticates and encrypts it
    std::string local;       // "address:port"
    std::string peer;        // the other end, "" while none
    int64_t updates = 0;     // encoded (near end) or restored whole (far end)
    int64_t rawBytes = 0;    // of the master's messages carried
    int64_t trunkBytes = 0;  // of the data datagrams, headers and tags included
    int64_t dataDatagrams = 0;
    int64_t withoutBaseline = 0;  // updates encoded against nothing (near end)
    uint32_t baselineAge = 0;     // updates between the last one and its baseline
    int64_t decodeFailures = 0;   // groups that could not be restored (far end)
    int64_t notMessages = 0;      // restored bytes that failed the master's message checks
    int64_t authFailures = 0;     // datagrams that do not authenticate, or are no trunk datagram
    int64_t replays = 0;          // copies, replays and datagrams of another run
    int64_t keyMessages = 0;      // passed up over the trunk
};
