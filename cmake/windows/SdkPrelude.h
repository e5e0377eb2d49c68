// Forced in before every source of the Windows check builds with clang (not
// with MSVC, for which the SDK headers are written): what it takes for
// mingw-w64's headers and libstdc++ to show the code what MSVC shows it.
#pragma once

// Names the SDK headers use after declaring them only as friends, which MSVC
// accepts and standard C++ does not.
class ATMOSPHERE;       // CelBodyAPI.h
class Instrument_User;  // MFDAPI.h

// libstdc++ for mingw-w64 defines NOMINMAX for every C++ file; MSVC's library
// does not. Take it back once libstdc++'s configuration is in, so that only
// the project's own definition keeps windows.h from defining min and max.
#include <cstddef>
#undef NOMINMAX
