// The status view as text: a few lines about the link and the master's
// simulation, then a table of its vessels. The same text serves the live
// terminal view and a one-time print.
#pragma once

#include <string>

#include "LinkSnapshot.h"

std::string StatusScreen(const LinkSnapshot& snapshot, const std::string& title);

// The kinds a vessel carries, as the view and the snapshot name them:
// "extra airfoil animation text XR" (those seen lately).
std::string CarriedKinds(unsigned carries);
