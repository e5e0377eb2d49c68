#include "ProgramFolder.h"

#include <windows.h>

#include <filesystem>
#include <string>

namespace simhost_app {

std::string ProgramFolder() {
    std::wstring path(MAX_PATH, L'\0');
    // A path longer than the buffer is cut and reported as the full size:
    // grow and ask again, a bounded number of times.
    for (int attempt = 0; attempt < 8; ++attempt) {
        const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0) return std::string();
        if (length < path.size()) {
            path.resize(length);
            return std::filesystem::path(path).parent_path().string();
        }
        path.resize(path.size() * 2);
    }
    return std::string();
}

}  // namespace simhost_app
