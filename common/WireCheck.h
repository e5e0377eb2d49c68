// The checks every received datagram passes before any of its fields is used.
//
// A datagram is hostile until checked. CreateMessage asks ValuesFinite of the
// datagram's bytes (its length has already been matched against its type);
// the receipt constructor of every message class then makes its own copy safe
// in place with MakeSafe, before the receipt fix-up reads it, so that every
// later reader finds counts within their arrays and names that end inside
// their fields.
#pragma once

#include <cstdint>

#include "WireRecords.h"

namespace wire {

// False when a value that a receiver applies (a date, time acceleration,
// step length, position, velocity, rotation, attitude, propellant, engine
// or thruster level, control surface level, animation state, the XR value)
// is NaN or infinite: such a record is not a message.
// `length` must already equal the size of the record's type.
bool ValuesFinite(const uint8_t* datagram, int length);

// A count read from the wire, as the arrays may use it: negative reads as 0,
// above the capacity reads as the capacity.
int32_t CutCount(int32_t count, int32_t capacity);
// The last byte of the field becomes NUL.
void TerminateName(Name& name);

// In place: every count cut, every name terminated.
inline void MakeSafe(HeaderRecord&) {}
inline void MakeSafe(StartRecord&) {}
void MakeSafe(VesselRecord& record);
void MakeSafe(Vessel2Record& record);
void MakeSafe(AirfoilRecord& record);
void MakeSafe(XRRecord& record);
void MakeSafe(FocusRecord& record);
void MakeSafe(VesselStateRecord& record);
void MakeSafe(KeyboardRecord& record);
void MakeSafe(VesselExtraRecord& record);
void MakeSafe(AnimationRecord& record);

}  // namespace wire
