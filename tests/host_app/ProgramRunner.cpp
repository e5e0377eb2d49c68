#include "ProgramRunner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>

#include "HostAppPaths.h"

extern char** environ;

namespace host_app_test {

ProgramRun::ProgramRun(const std::vector<std::string>& args, const std::string& workDir)
    : outPath_(workDir + "/simhost.out"), errPath_(workDir + "/simhost.err") {
    const std::string program = binDir() + "/simhost";
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(&a[0]);
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());
    if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
}

std::string ProgramRun::outputSoFar() const { return ReadFile(outPath_); }

ProgramResult ProgramRun::wait() {
    ProgramResult result;
    if (pid_ > 0) {
        int status = 0;
        if (waitpid(pid_, &status, 0) == pid_ && WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
        pid_ = -1;
    }
    result.out = ReadFile(outPath_);
    result.err = ReadFile(errPath_);
    return result;
}

ProgramResult RunSimhost(const std::vector<std::string>& args, const std::string& workDir) {
    return ProgramRun(args, workDir).wait();
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace host_app_test
