// The checks every received datagram passes before any of its fields is used.
// Nothing here needs the host, so programs beside the modules judge
// datagrams with the same code.
//
// A datagram is hostile until checked. CheckDatagram matches its length
// against its type and asks ValuesWithinBounds of its bytes;
// the receipt constructor of every message class then makes its own copy safe
// in place with MakeSafe, before the receipt fix-up reads it, so that every
// later reader finds counts within their arrays and names that end inside
// their fields.
#pragma once

#include <cstdint>

#include "WireRecords.h"

namespace wire {

// Why a datagram is no message.
enum class Rejection { kNone, kTooShort, kUnknownType, kWrongLength, kBadValues, kNoMemory };
const char* RejectionText(Rejection why);

bool KnownType(int32_t type);
// The type a datagram's header names; kNoType when it is shorter than a header.
constexpr int32_t kNoType = INT32_MIN;
int32_t TypeOf(const uint8_t* datagram, int length);
// The size rule: the wire size of a record from its header (and, for a
// scenario-text record, its text length); -1 for an unknown type or a text
// length outside 0 to 65,536. `available` is how many bytes may be read.
int RecordSize(const void* record, int available);
// kNone when the datagram is a message of its type whose applied values are
// numbers; otherwise why not. Date offsets need the receiver's own date and
// are judged by the receiver.
Rejection CheckDatagram(const uint8_t* datagram, int length);

// How large an applied value may be, either way. Far beyond anything a
// simulation holds, and small enough that what the host computes from them
// (a step at the highest time acceleration, a date offset in seconds) stays
// a number.
constexpr double kMaxMjd = 1.0e7;               // days: beyond the year 29,000
constexpr double kMaxTimeAcceleration = 1.0e6;  // the host takes 1 to 100,000
constexpr double kMaxStep = 1.0e6;              // seconds
constexpr double kMaxPosition = 1.0e15;         // metres: some 6,700 AU
constexpr double kMaxSpeed = 3.0e8;             // metres a second: light
constexpr double kMaxAngle = 1.0e4;             // radians, and radians a second
constexpr double kMaxLevel = 1.0e6;             // levels and states, 0 to 1 when sane

// False when a value that a receiver applies (a date, time acceleration,
// step length, position, velocity, rotation, attitude, propellant, engine
// or thruster level, control surface level, animation state, the XR value)
// is NaN, infinite or beyond its bound above: such a record is not a message.
// `length` must already equal the size of the record's type.
bool ValuesWithinBounds(const uint8_t* datagram, int length);

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
