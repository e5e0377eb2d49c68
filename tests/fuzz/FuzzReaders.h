// What every later reader of a received message relies on, checked the way
// those readers touch the fields. A broken promise traps, so the fuzzer
// reports it; the array reads below also let the sanitizers see any count
// that was not cut.
#pragma once

#include <cmath>
#include <cstring>

#include "Message.h"

namespace fuzz {

inline void Require(bool promise) {
    if (!promise) __builtin_trap();
}

inline void RequireName(const wire::Name& name) { Require(strnlen(name, wire::kNameSize) < wire::kNameSize); }

inline void RequireFinite(const VECTOR3& v) { Require(std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z)); }

// Reads a message as the modules' dispatch would; returns a value that
// depends on the fields read, so nothing is optimised away.
double ReadLikeADispatch(Message& message, int length);

}  // namespace fuzz
