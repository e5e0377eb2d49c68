// helmrelay's loop: pass the master's updates on, draw the view, print the
// result when it stops.
#pragma once

#include "RelayOptions.h"

// The process's exit status.
int RunRelay(const RelayOptions& options);
