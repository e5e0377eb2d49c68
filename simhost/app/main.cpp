// simhost: the headless stand-in of the simulator host as a program.
#include <cstdio>
#include <filesystem>

#include "AppOptions.h"
#include "Run.h"
#include "StopSignal.h"

int main(int argc, char** argv) {
    simhost_app::AppOptions options;
    std::string error;
    switch (simhost_app::ParseArguments(argc, argv, options, error)) {
        case simhost_app::ParseOutcome::Help:
            std::fputs(simhost_app::UsageText(), stdout);
            return 0;
        case simhost_app::ParseOutcome::Error:
            std::fprintf(stderr, "simhost: %s\n(simhost --help lists the options)\n", error.c_str());
            return 2;
        case simhost_app::ParseOutcome::Run:
            break;
    }
    if (options.host.moduleDirs.empty()) {
        // Class modules are built next to the program.
        std::error_code ec;
        const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
        options.host.moduleDirs.push_back(ec ? std::string(".") : self.parent_path().string());
    }
    simhost_app::InstallStopSignals();
    return simhost_app::RunSimulation(options);
}
