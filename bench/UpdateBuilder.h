// Updates as the master sends them, made with the master's own capture code
// from the vessels of the host the slave runs in: the slave receives exactly
// the datagrams a master would send for those vessels.
#pragma once

#include <cstdint>
#include <vector>

#include "BareSockets.h"
#include "MessageKinds.h"
#include "Platform.h"

namespace bench {

// A whole update: start, focus, keys, then every vessel's messages (its
// state, extra, control surfaces, animations, XR block where offered), end.
std::vector<Bytes> FullUpdate(const std::vector<OBJHANDLE>& vessels);

// Only the messages of `kind` of these vessels, then the end.
std::vector<Bytes> KindUpdate(Kind kind, const std::vector<OBJHANDLE>& vessels);

// Every message of these vessels but the text, then the end.
std::vector<Bytes> VesselsUpdate(const std::vector<OBJHANDLE>& vessels);

// Consecutive sequence numbers from `next` on, one per message, as the
// master numbers its messages.
void Stamp(std::vector<Bytes>& datagrams, int32_t& next);

}  // namespace bench
