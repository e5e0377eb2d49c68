// helmscope's loop: watch the master, draw the view, print the result.
#pragma once

#include "ScopeOptions.h"

// The process's exit status.
int RunScope(const ScopeOptions& options);
