// Valid datagrams for the fuzz seeds, built with the modules' own message
// classes: each is the wire image of a message, numbered `seq`.
#pragma once

#include <cstdint>
#include <vector>

namespace seeds {

using Bytes = std::vector<uint8_t>;

constexpr double kMjd = 60000.5;

Bytes Header(int32_t type, int32_t seq);
Bytes Start(int32_t seq, double mjd, double timeAccel = 1.0);
Bytes Focus(int32_t seq, const char* vessel);
// `presses` keys A, B, ... each pressed and released.
Bytes Keyboard(int32_t seq, int presses);
Bytes Vessel(int32_t seq, double mjd, const char* vessel, const char* className, bool landed = false);
Bytes Vessel2(int32_t seq, double mjd, const char* vessel, const char* className, const char* dockedTo = "");
Bytes Extra(int32_t seq, const char* vessel);
Bytes Text(int32_t seq, double mjd, const char* vessel, const char* lines);
Bytes Airfoil(int32_t seq, const char* vessel);
Bytes Animation(int32_t seq, const char* vessel, int32_t count);
Bytes XR(int32_t seq, const char* vessel);

// One update as the master sends it, numbered from `seq` on (which moves past
// it): Start, Focus, Keyboard, then for Beta (text synchronised), Gamma (an
// XR vessel) and Pod (interface version 1) their messages, and End.
std::vector<Bytes> Update(int32_t& seq, double mjd, int keyPresses = 1);

}  // namespace seeds
