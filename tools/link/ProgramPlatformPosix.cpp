#include <unistd.h>

#include <csignal>

#include "ProgramPlatform.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void OnStopSignal(int) { stopRequested = 1; }

}  // namespace

bool OutputIsAnsiTerminal() { return ::isatty(STDOUT_FILENO) == 1; }

void CatchStopRequests() {
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
}

bool StopRequested() { return stopRequested != 0; }

bool UtcTimeOf(std::time_t moment, std::tm& utc) { return ::gmtime_r(&moment, &utc) != nullptr; }

bool LocalTimeOf(std::time_t moment, std::tm& local) { return ::localtime_r(&moment, &local) != nullptr; }
