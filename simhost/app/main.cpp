// simhost: the headless stand-in of the simulator host as a program.
#include <cstdio>
#include <string>

#include "AppOptions.h"
#include "ProgramFolder.h"
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
        const std::string folder = simhost_app::ProgramFolder();
        options.host.moduleDirs.push_back(folder.empty() ? std::string(".") : folder);
    }
    simhost_app::InstallStopSignals();
    return simhost_app::RunSimulation(options);
}
