// helmscope: a live monitor of a Helmcast master's link, without any host.
#include <cstdio>
#include <string>

#include "ScopeOptions.h"
#include "ScopeRun.h"

int main(int argc, char** argv) {
    ScopeOptions options;
    std::string error;
    if (!ParseScopeOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "helmscope: %s\n%s", error.c_str(), kScopeUsage);
        return 2;
    }
    if (options.help) {
        std::fputs(kScopeUsage, stdout);
        return 0;
    }
    return RunScope(options);
}
