#include "TempFile.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace simhost {

std::string TempFilePath(const std::string& purpose) {
    std::error_code error;
    std::filesystem::path dir = std::filesystem::temp_directory_path(error);
    if (error) dir = "/tmp";
    return (dir / ("simhost-" + std::to_string(getpid()) + "-" + purpose)).string();
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool WriteWholeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    return static_cast<bool>(out);
}

void RemoveFile(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

}  // namespace simhost
