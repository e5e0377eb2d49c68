// Module libraries on Windows: the system's loader, and its own list of
// loaded modules behind GetModuleHandleA and GetProcAddress. A module's
// instance handle is its HMODULE, as the real host gives it.
#include <filesystem>
#include <string>

#include "platform/PlatformServices.h"  // Windows' own headers, through the SDK's

namespace simhost {

const char* ModuleFileExtension() { return ".dll"; }

void* LibraryOpen(const std::string& path, std::string& error) {
    // The loader wants backslashes between folders.
    HMODULE library = LoadLibraryA(std::filesystem::path(path).make_preferred().string().c_str());
    if (library == nullptr) {
        const DWORD code = GetLastError();
        char text[512] = {};
        const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                            0, text, sizeof text, nullptr);
        std::string message(text, length);
        while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
            message.pop_back();
        error = "LoadLibrary error " + std::to_string(code) + (message.empty() ? "" : " (" + message + ")");
    }
    return reinterpret_cast<void*>(library);
}

void* LibrarySymbol(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void LibraryClose(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }

HMODULE ModuleRegistryAdd(const std::string& /*fileName*/, void* handle) {
    // A module compiled into the program has the program's handle.
    return handle != nullptr ? static_cast<HMODULE>(handle) : GetModuleHandleA(nullptr);
}

// The system's list is kept by the system.
void ModuleRegistryRemove(HMODULE /*module*/) {}
void ModuleRegistryClear() {}

}  // namespace simhost
