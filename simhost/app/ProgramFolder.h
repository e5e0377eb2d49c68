// Where the simhost program itself is: class modules are built next to it.
#pragma once

#include <string>

namespace simhost_app {

// The program's folder; empty when it cannot be told.
std::string ProgramFolder();

}  // namespace simhost_app
