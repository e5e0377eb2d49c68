// Where the project's sources and built programs are, for tests that need
// data files, vessel class modules or the simhost program.
#pragma once

#include <cstdlib>
#include <string>

inline std::string FromEnvironmentOr(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : fallback;
}

inline std::string SourceDir() { return FromEnvironmentOr("HELM_SOURCE_DIR", HELM_TEST_SOURCE_DIR); }
inline std::string BinDir() { return FromEnvironmentOr("HELM_BIN_DIR", HELM_TEST_BIN_DIR); }
