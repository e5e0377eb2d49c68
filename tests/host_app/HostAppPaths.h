// Where the built programs and modules and the source tree are, and scratch
// folders for one test.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "TestPaths.h"
#include <unistd.h>

namespace host_app_test {

inline std::string binDir() { return BinDir(); }
inline std::string sourceDir() { return SourceDir(); }
inline std::string classesDir() { return sourceDir() + "/config/Vessels"; }
inline std::string demoScenario() { return sourceDir() + "/scenarios/Demo.scn"; }

// A fresh, empty folder for the running test.
inline std::string scratchDir() {
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "_" + info->name();
    for (char& c : name) {
        if (c == '/') c = '_';
    }
    const std::filesystem::path dir =
        std::filesystem::path(testing::TempDir()) / ("host_app_" + std::to_string(getpid()) + "_" + name);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir.string();
}

}  // namespace host_app_test
