// Runs the simhost program as a child process and collects what it printed.
#pragma once

#include <string>
#include <vector>

#include <sys/types.h>

namespace host_app_test {

struct ProgramResult {
    int exitCode = -1;  // -1 when it did not exit normally
    std::string out;
    std::string err;
};

// Starts the program with `args` in `workDir`; output goes to files there.
class ProgramRun {
public:
    ProgramRun(const std::vector<std::string>& args, const std::string& workDir);
    pid_t pid() const { return pid_; }
    // Reads what the program has printed to stdout so far.
    std::string outputSoFar() const;
    ProgramResult wait();

private:
    pid_t pid_ = -1;
    std::string outPath_;
    std::string errPath_;
};

// Runs the program to its end.
ProgramResult RunSimhost(const std::vector<std::string>& args, const std::string& workDir);

std::string ReadFile(const std::string& path);

}  // namespace host_app_test
