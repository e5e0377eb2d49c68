// Conversion between the host's native status records and their wire images.
//
// The host records differ in size between 32- and 64-bit hosts; the wire
// records never do. Capture encodes host -> wire (handles become non-zero
// 32-bit tokens, pointers travel as zero, counts are cut to the capacities of
// the wire lists); receipt decodes wire -> host with every handle and pointer
// left zero, for the receipt fix-up to fill in.
#pragma once

#include <cstdint>

#include "Platform.h"
#include "WireRecords.h"

namespace wire {

// A handle as it travels: zero stays zero, any other handle gives a non-zero
// value (on the 32-bit host the handle itself).
uint32_t HandleToWire(const void* handle);

// Copies a name into a 32-byte field: cut at 31 characters, the rest of the
// field zero. A null text gives an empty name.
void CopyName(Name& field, const char* text);

// The host's name of an object into a field; an empty name for a zero handle.
void ObjectNameToWire(OBJHANDLE object, Name& field);

// ---- Capture (host -> wire) ----
void EncodeStatus(const VESSELSTATUS& in, VesselStatus& out);
// The status and the names of its reference body and base.
void EncodeVessel(const VESSELSTATUS& in, VesselRecord& out);
// Fields of the version-2 record only; the lists are left to EncodeVessel2.
void EncodeStatus2(const VESSELSTATUS2& in, VesselStatus2& out);
// The status, its names, its three lists (at most their wire capacities) and
// the names of the docked vessels. A list whose pointer is null counts as
// empty.
void EncodeVessel2(const VESSELSTATUS2& in, Vessel2Record& out);

// ---- Receipt (wire -> host) ----
// Every field copied; handles and pointers zero.
void DecodeStatus(const VesselStatus& in, VESSELSTATUS& out);
// Every field copied; handles and list pointers zero. Counts are taken as
// they are: the record must have been made safe first.
void DecodeStatus2(const VesselStatus2& in, VESSELSTATUS2& out);

}  // namespace wire
