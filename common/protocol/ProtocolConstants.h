// The protocol's fixed numbers, once, with their units in their names.
// Host-free: the modules and the programs beside them read them here.
#pragma once

#include <cstdint>

namespace protocol {

// The master's UDP port unless configured otherwise.
constexpr uint16_t kDefaultMasterPort = 40000;
// Simulation dates are Modified Julian Dates; a day has this many seconds.
constexpr double kSecondsPerDay = 86400.0;
// A client from which no Ack came for longer than this is dropped.
constexpr double kClientSilenceSeconds = 3.0;
// A subscriber says Hello again this often.
constexpr double kHelloRenewalSeconds = 1.0;
// Clients a master (or a relay) keeps at most, in all and per source address.
constexpr int kDefaultMaxClients = 64;
constexpr int kDefaultMaxClientsPerAddress = 16;

}  // namespace protocol
