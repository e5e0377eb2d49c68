// What a master, or a relay in a master's place, takes from the addresses
// that send to it, judged cheapest first: the type (a Hello, an Ack or key
// events; any other kind of the protocol is a master's own and not even
// read), then the bytes (WireCheck). Who may subscribe and whose keys count
// is the ClientTable's to say. The master and helmrelay judge by this one
// rule. Host-free and stateless.
#pragma once

#include <cstdint>

#include "WireCheck.h"

class ClientTakeIn {
public:
    enum class Verdict {
        kHello,
        kAck,
        kKeys,
        kNotForMaster,  // a kind only a master sends: not read
        kNotMessage,    // no message of the protocol (`rejection` says why)
    };
    struct Outcome {
        Verdict verdict = Verdict::kNotMessage;
        wire::Rejection rejection = wire::Rejection::kNone;  // for kNotMessage
        int32_t keyEvents = 0;                               // for kKeys: the events it carries
    };

    static Outcome Screen(const uint8_t* datagram, int length);
};
