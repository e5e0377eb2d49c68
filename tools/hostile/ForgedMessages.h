// Well-formed messages from someone who is not the master (or not a slave):
// each passes every check on its own, so only the sender gives it away.
#pragma once

#include <cstdint>
#include <vector>

namespace hostile {

std::vector<uint8_t> ForgedHello(int32_t seq);
std::vector<uint8_t> ForgedAck(int32_t seq);
std::vector<uint8_t> ForgedEnd(int32_t seq);
// A date and time acceleration the master never sent.
std::vector<uint8_t> ForgedStart(int32_t seq, double mjd);
// A vessel in a low Earth orbit, of a class every test world knows unless
// another is named.
std::vector<uint8_t> ForgedVessel(int32_t seq, double mjd, const char* name, const char* className = "Capsule1");
// One key pressed and released.
std::vector<uint8_t> ForgedKeyTap(int32_t seq, uint8_t scanCode);

}  // namespace hostile
