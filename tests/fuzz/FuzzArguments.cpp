#include "FuzzArguments.h"

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace fuzz {

void KeepCallersPaths(int* argc, char*** argv) {
    static std::vector<std::string> arguments;
    static std::vector<char*> pointers;
    const std::string here = std::filesystem::current_path().string() + "/";
    auto absolute = [&](const std::string& path) { return path.empty() || path[0] == '/' ? path : here + path; };
    bool prefixGiven = false;
    for (int i = 0; i < *argc; ++i) {
        std::string argument = (*argv)[i];
        if (i > 0 && argument[0] != '-') argument = absolute(argument);
        for (const char* flag : {"-artifact_prefix=", "-exact_artifact_path=", "-dict="}) {
            const size_t n = std::strlen(flag);
            if (argument.compare(0, n, flag) != 0) continue;
            argument = flag + absolute(argument.substr(n));
            if (std::strcmp(flag, "-artifact_prefix=") == 0) prefixGiven = true;
        }
        arguments.push_back(argument);
    }
    if (!prefixGiven) arguments.push_back("-artifact_prefix=" + here);
    for (std::string& argument : arguments) pointers.push_back(&argument[0]);
    pointers.push_back(nullptr);
    *argc = static_cast<int>(arguments.size());
    *argv = pointers.data();
}

}  // namespace fuzz
