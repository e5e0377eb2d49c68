#include "ProgramFolder.h"

#include <filesystem>

namespace simhost_app {

std::string ProgramFolder() {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : self.parent_path().string();
}

}  // namespace simhost_app
