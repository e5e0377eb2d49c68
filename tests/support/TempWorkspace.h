// A fresh working folder per test: the host's root, the module's log, the
// scenario saves all land there and vanish afterwards.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

class TempWorkspace {
public:
    TempWorkspace() {
        char pattern[] = "/tmp/helm-test-XXXXXX";
        const char* made = mkdtemp(pattern);
        path_ = made != nullptr ? made : "/tmp";
        previous_ = std::filesystem::current_path();
        std::filesystem::create_directories(path_ / "Config");
        std::filesystem::create_directories(path_ / "Scenarios");
        std::filesystem::current_path(path_);
    }
    ~TempWorkspace() {
        std::error_code ignored;
        std::filesystem::current_path(previous_, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TempWorkspace(const TempWorkspace&) = delete;
    TempWorkspace& operator=(const TempWorkspace&) = delete;

    const std::filesystem::path& path() const { return path_; }

    void write(const std::string& relative, const std::string& content) const {
        std::filesystem::create_directories((path_ / relative).parent_path());
        std::ofstream(path_ / relative, std::ios::binary) << content;
    }

    std::string read(const std::string& relative) const {
        std::ifstream in(path_ / relative, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    bool exists(const std::string& relative) const { return std::filesystem::exists(path_ / relative); }

    std::vector<std::string> lines(const std::string& relative) const {
        std::vector<std::string> result;
        std::istringstream in(read(relative));
        for (std::string line; std::getline(in, line);) result.push_back(line);
        return result;
    }

private:
    std::filesystem::path path_;
    std::filesystem::path previous_;
};

// The text part of a log file line: what follows "<name>:<line>:".
inline std::string LogText(const std::string& line) {
    size_t colon = line.find(':', line.find("Thread"));
    if (colon == std::string::npos) return line;
    colon = line.find(':', colon + 1);
    return colon == std::string::npos ? line : line.substr(colon + 1);
}

inline std::vector<std::string> LogTexts(const std::vector<std::string>& lines) {
    std::vector<std::string> texts;
    for (const auto& line : lines) texts.push_back(LogText(line));
    return texts;
}
