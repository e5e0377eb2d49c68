// The host's file calls: path roots, configuration items, scenario lines.
// A FILEHANDLE is a number never given out twice, checked against the files
// open right now before any use, so a stale handle cannot reach a newer file.
#include <strings.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <filesystem>
#include <mutex>
#include <sstream>
#include <string>
#include <unordered_map>

#include "ItemText.h"
#include "PlatformServices.h"

namespace simhost {
namespace {

struct OpenFile {
    FileAccessMode mode = FILE_IN;
    std::string content;       // FILE_IN: the whole file
    size_t readPosition = 0;   // FILE_IN: start of the next scenario line
    std::string line;          // FILE_IN: the last scenario line handed out
    std::FILE* out = nullptr;  // FILE_OUT, FILE_APP
    ~OpenFile() {
        if (out != nullptr) std::fclose(out);
    }
};

// Values are cut so that a caller's usual 256-byte buffer is never overrun.
constexpr size_t kMaxItemValue = 255;

std::mutex filesMutex;
std::string rootFolder;
std::unordered_map<void*, std::unique_ptr<OpenFile>> openFiles;
uintptr_t lastHandle = 0;

OpenFile* Find(FILEHANDLE file) {
    auto found = openFiles.find(file);
    return found == openFiles.end() ? nullptr : found->second.get();
}

OpenFile* FindReadable(FILEHANDLE file) {
    OpenFile* open = Find(file);
    return open != nullptr && open->mode == FILE_IN ? open : nullptr;
}

void Write(FILEHANDLE file, const std::string& text) {
    std::lock_guard<std::mutex> lock(filesMutex);
    OpenFile* open = Find(file);
    if (open != nullptr && open->out != nullptr) std::fwrite(text.data(), 1, text.size(), open->out);
}

bool ReadItem(FILEHANDLE file, const char* item, std::string& value) {
    if (item == nullptr) return false;
    std::lock_guard<std::mutex> lock(filesMutex);
    OpenFile* open = FindReadable(file);
    std::string_view found;
    if (open == nullptr || !FindItemValue(open->content, item, found)) return false;
    value.assign(found);
    return true;
}

const char* SubFolder(PathRoot root) {
    switch (root) {
        case CONFIG:
            return "Config";
        case SCENARIOS:
            return "Scenarios";
        case TEXTURES:
            return "Textures";
        case TEXTURES2:
            return "Textures2";
        case MESHES:
            return "Meshes";
        case MODULES:
            return "Modules";
        case ROOT:
            break;
    }
    return "";
}

}  // namespace

void FilesSetRoot(const std::string& rootDir) {
    // Kept absolute: paths the host builds from it stay right whatever the
    // working folder is later.
    std::error_code ignored;
    const std::string absolute = rootDir.empty() ? std::string() : std::filesystem::absolute(rootDir, ignored).string();
    std::lock_guard<std::mutex> lock(filesMutex);
    rootFolder = absolute;
}

std::string FilesPath(const std::string& name, PathRoot root) {
    // An absolute name is taken as it is (the host's own callers use that):
    // "/..." and, on Windows, also "C:\..." or "\...".
    if (std::filesystem::path(name).has_root_path()) return name;
    std::string folder;
    {
        std::lock_guard<std::mutex> lock(filesMutex);
        folder = rootFolder;
    }
    std::string sub = SubFolder(root);
    if (!sub.empty()) folder = folder.empty() ? sub : folder + "/" + sub;
    if (folder.empty()) return name;
    if (folder.back() != '/') folder += '/';
    return folder + name;
}

void FilesCloseAll() {
    std::lock_guard<std::mutex> lock(filesMutex);
    openFiles.clear();
}

}  // namespace simhost

using simhost::filesMutex;

FILEHANDLE oapiOpenFile(const char* fname, FileAccessMode mode, PathRoot root) {
    if (fname == nullptr) return nullptr;
    std::string path = simhost::FilesPath(fname, root);
    auto open = std::make_unique<simhost::OpenFile>();
    open->mode = mode;
    if (mode == FILE_IN) {
        std::ifstream in(path, std::ios::binary);
        if (!in) return nullptr;
        std::ostringstream text;
        text << in.rdbuf();
        open->content = text.str();
    } else if (mode == FILE_OUT || mode == FILE_APP) {
        open->out = std::fopen(path.c_str(), mode == FILE_OUT ? "wb" : "ab");
        if (open->out == nullptr) return nullptr;
    } else {
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(filesMutex);
    FILEHANDLE handle = reinterpret_cast<FILEHANDLE>(++simhost::lastHandle);
    simhost::openFiles.emplace(handle, std::move(open));
    return handle;
}

void oapiCloseFile(FILEHANDLE file, FileAccessMode /*mode*/) {
    std::unique_ptr<simhost::OpenFile> closing;
    {
        std::lock_guard<std::mutex> lock(filesMutex);
        auto found = simhost::openFiles.find(file);
        if (found == simhost::openFiles.end()) return;
        closing = std::move(found->second);
        simhost::openFiles.erase(found);
    }
    // Destroying it flushes and closes the stream.
}

bool oapiReadItem_string(FILEHANDLE file, char* item, char* value) {
    std::string text;
    if (value == nullptr || !simhost::ReadItem(file, item, text)) return false;
    size_t length = std::min(text.size(), simhost::kMaxItemValue);
    std::memcpy(value, text.data(), length);
    value[length] = '\0';
    return true;
}

bool oapiReadItem_float(FILEHANDLE file, char* item, double& value) {
    std::string text;
    return simhost::ReadItem(file, item, text) && simhost::ParseWholeDouble(text, value);
}

bool oapiReadItem_int(FILEHANDLE file, char* item, int& value) {
    std::string text;
    return simhost::ReadItem(file, item, text) && simhost::ParseWholeInt(text, value);
}

bool oapiReadItem_bool(FILEHANDLE file, char* item, bool& value) {
    std::string text;
    return simhost::ReadItem(file, item, text) && simhost::ParseBoolWord(text, value);
}

void oapiWriteItem_string(FILEHANDLE file, char* item, char* value) {
    if (item == nullptr || value == nullptr) return;
    simhost::Write(file, std::string(item) + " = " + value + "\n");
}

void oapiWriteItem_float(FILEHANDLE file, char* item, double value) {
    if (item == nullptr) return;
    simhost::Write(file, std::string(item) + " = " + simhost::FormatExactDouble(value) + "\n");
}

void oapiWriteItem_int(FILEHANDLE file, char* item, int value) {
    if (item == nullptr) return;
    simhost::Write(file, std::string(item) + " = " + std::to_string(value) + "\n");
}

bool oapiReadScenario_nextline(FILEHANDLE file, char*& line) {
    std::lock_guard<std::mutex> lock(filesMutex);
    simhost::OpenFile* open = simhost::FindReadable(file);
    if (open == nullptr) return false;
    const std::string& content = open->content;
    while (open->readPosition < content.size()) {
        size_t newline = content.find('\n', open->readPosition);
        size_t end = newline == std::string::npos ? content.size() : newline;
        std::string_view raw(content.data() + open->readPosition, end - open->readPosition);
        open->readPosition = newline == std::string::npos ? content.size() : newline + 1;
        std::string_view text = simhost::TrimBlanks(simhost::WithoutComment(raw));
        if (text.empty()) continue;
        if (text.size() == 3 && strncasecmp(text.data(), "END", 3) == 0) return false;
        open->line.assign(text);
        line = open->line.data();
        return true;
    }
    return false;
}

void oapiWriteScenario_string(FILEHANDLE file, char* item, char* value) {
    if (item == nullptr || value == nullptr) return;
    simhost::Write(file, std::string("  ") + item + " " + value + "\n");
}

void oapiWriteScenario_int(FILEHANDLE file, char* item, int value) {
    if (item == nullptr) return;
    simhost::Write(file, std::string("  ") + item + " " + std::to_string(value) + "\n");
}

void oapiWriteScenario_float(FILEHANDLE file, char* item, double value) {
    if (item == nullptr) return;
    simhost::Write(file, std::string("  ") + item + " " + simhost::FormatExactDouble(value) + "\n");
}

void oapiWriteScenario_vec(FILEHANDLE file, char* item, const VECTOR3& value) {
    if (item == nullptr) return;
    simhost::Write(file, std::string("  ") + item + " " + simhost::FormatExactDouble(value.x) + " " +
                             simhost::FormatExactDouble(value.y) + " " + simhost::FormatExactDouble(value.z) + "\n");
}

void oapiWriteLine(FILEHANDLE file, char* line) {
    if (line == nullptr) return;
    simhost::Write(file, std::string(line) + "\n");
}
