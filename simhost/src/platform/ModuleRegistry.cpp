// The modules the host has loaded, for GetModuleHandleA and GetProcAddress,
// and the loading of module libraries with the platform's loader.
// An HMODULE points at a registry entry and is checked before use.
#include <dlfcn.h>
#include <strings.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "PlatformServices.h"

namespace simhost {
namespace {

struct ModuleEntry {
    std::string stem;  // file name without folder and extension
    void* handle;      // dlopen's, or null for the program itself
};

std::mutex modulesMutex;
std::vector<std::unique_ptr<ModuleEntry>> modules;
// Stands for the program when GetModuleHandleA is given no name.
ModuleEntry programEntry{"", nullptr};

// "dir/Helmcast.so", "Helmcast.dll", "Helmcast" all give "Helmcast".
// Only the two extensions a module file can have are dropped, so a name
// with a dot of its own still matches.
std::string Stem(const std::string& name) {
    size_t slash = name.find_last_of("/\\");
    std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
    for (const char* extension : {".dll", ".so"}) {
        size_t length = std::strlen(extension);
        if (base.size() > length && strcasecmp(base.c_str() + base.size() - length, extension) == 0) {
            base.resize(base.size() - length);
            break;
        }
    }
    return base;
}

ModuleEntry* Entry(HMODULE module) {
    auto* wanted = reinterpret_cast<ModuleEntry*>(module);
    if (wanted == &programEntry) return wanted;
    for (const auto& entry : modules)
        if (entry.get() == wanted) return wanted;
    return nullptr;
}

}  // namespace

const char* ModuleFileExtension() { return ".so"; }

void* LibraryOpen(const std::string& path, std::string& error) {
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) error = dlerror();
    return library;
}

void* LibrarySymbol(void* library, const char* name) { return dlsym(library, name); }

void LibraryClose(void* library) { dlclose(library); }

HMODULE ModuleRegistryAdd(const std::string& fileName, void* handle) {
    std::lock_guard<std::mutex> lock(modulesMutex);
    modules.push_back(std::make_unique<ModuleEntry>(ModuleEntry{Stem(fileName), handle}));
    return reinterpret_cast<HMODULE>(modules.back().get());
}

void ModuleRegistryRemove(HMODULE module) {
    std::lock_guard<std::mutex> lock(modulesMutex);
    modules.erase(std::remove_if(modules.begin(), modules.end(),
                                 [module](const std::unique_ptr<ModuleEntry>& entry) {
                                     return reinterpret_cast<HMODULE>(entry.get()) == module;
                                 }),
                  modules.end());
}

void ModuleRegistryClear() {
    std::lock_guard<std::mutex> lock(modulesMutex);
    modules.clear();
}

}  // namespace simhost

HMODULE GetModuleHandleA(LPCSTR moduleName) {
    using namespace simhost;
    std::lock_guard<std::mutex> lock(modulesMutex);
    if (moduleName == nullptr) return reinterpret_cast<HMODULE>(&programEntry);
    std::string wanted = Stem(moduleName);
    for (const auto& entry : modules)
        if (strcasecmp(entry->stem.c_str(), wanted.c_str()) == 0) return reinterpret_cast<HMODULE>(entry.get());
    return nullptr;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR symbolName) {
    using namespace simhost;
    if (symbolName == nullptr) return nullptr;
    void* handle = nullptr;
    {
        std::lock_guard<std::mutex> lock(modulesMutex);
        ModuleEntry* entry = Entry(module);
        if (entry == nullptr) return nullptr;
        handle = entry->handle;
    }
    void* symbol = dlsym(handle != nullptr ? handle : RTLD_DEFAULT, symbolName);
    return reinterpret_cast<FARPROC>(symbol);
}
