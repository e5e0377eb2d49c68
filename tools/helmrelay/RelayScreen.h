// The relay's status view and JSON snapshot: the master's side as
// helmscope shows a master (the same text), then the relay's own side.
#pragma once

#include <deque>
#include <string>

#include "RelaySnapshot.h"

// `events`: the latest event lines, shown under the view.
std::string RelayScreen(const RelaySnapshot& snapshot, const std::deque<std::string>& events);
std::string RelayJson(const RelaySnapshot& snapshot);
