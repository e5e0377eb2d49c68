// Runs a module compiled into the test program on the stand-in host, in a
// fresh working folder, on the virtual clock.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "SimHost.h"
#include "TempWorkspace.h"

extern "C" void InitModule(HINSTANCE instance);
extern "C" void ExitModule(HINSTANCE instance);

template <class ModuleClass>
class ModuleHarness {
public:
    explicit ModuleHarness(const char* moduleFile) : moduleFile_(moduleFile) {
        simhost::HostOptions options;
        options.rootDir = workspace.path().string();
        simhost::Host::instance().reset(options);
    }
    ~ModuleHarness() { simhost::Host::instance().reset(); }

    // Loads the module: InitModule opens its log and registers the object.
    ModuleClass& load() {
        simhost::Host& host = simhost::Host::instance();
        host.attachInProcessModule(moduleFile_, &InitModule, &ExitModule);
        module_ = dynamic_cast<ModuleClass*>(host.registeredModules().back());
        return *module_;
    }
    ModuleClass& module() { return *module_; }
    simhost::Host& host() { return simhost::Host::instance(); }
    std::vector<std::string> logTexts() const { return LogTexts(workspace.lines(logFile())); }
    // Lines of the module's log that read `text`, or that begin with `prefix`.
    bool logged(const std::string& text) const { return countLogged(text) > 0; }
    int countLogged(const std::string& text) const {
        const std::vector<std::string> texts = logTexts();
        return static_cast<int>(std::count(texts.begin(), texts.end(), text));
    }
    int countLoggedStartingWith(const std::string& prefix) const {
        const std::vector<std::string> texts = logTexts();
        return static_cast<int>(std::count_if(texts.begin(), texts.end(),
                                              [&](const std::string& text) { return text.rfind(prefix, 0) == 0; }));
    }
    std::string logFile() const {
        std::string name = moduleFile_;
        return name.substr(0, name.rfind('.')) + ".log";
    }

    TempWorkspace workspace;

private:
    std::string moduleFile_;
    ModuleClass* module_ = nullptr;
};
