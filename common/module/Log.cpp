#include "Log.h"

#include <cstdarg>
#include <cstring>

FILE* logFile = nullptr;

namespace {

constexpr size_t kWorkingBufferSize = 16384;
constexpr size_t kFormattedTextBound = 255;  // 254 characters and the terminator
constexpr size_t kDebugStringSize = 256;

// "dir/sub/Name.cpp" or "dir\\Name.cpp" -> "Name.cpp"
const char* BaseName(const char* path) {
    const char* base = path;
    for (const char* p = path; *p != '\0'; ++p) {
        if (*p == '/' || *p == '\\' || *p == ':') base = p + 1;
    }
    return base;
}

}  // namespace

void OpenLog(const char* fileName) { logFile = std::fopen(fileName, "w"); }

void CloseLog() {
    if (logFile != nullptr) {
        std::fclose(logFile);
        logFile = nullptr;
    }
}

void Log(const char* sourceFile, int sourceLine, const char* text) {
    static char buffer[kWorkingBufferSize];
    std::strncpy(buffer, text != nullptr ? text : "", kWorkingBufferSize - 1);
    buffer[kWorkingBufferSize - 1] = '\0';
    if (logFile == nullptr) return;

    const char* name = BaseName(sourceFile != nullptr ? sourceFile : "");
    const char* line = buffer[0] != '\0' ? buffer : "<empty log message>";

    SYSTEMTIME now;
    GetLocalTime(&now);
    std::fprintf(logFile, "%d-%02d-%02d %02d:%02d:%02d.%03d Thread %04u %18s:%4d:%s\n", now.wYear, now.wMonth, now.wDay,
                 now.wHour, now.wMinute, now.wSecond, now.wMilliseconds, static_cast<unsigned>(GetCurrentThreadId()),
                 name, sourceLine, line);
    std::fflush(logFile);

    char* debug = oapiDebugString();
    if (debug != nullptr) {
        // Cut to the host's buffer.
        const int written = std::snprintf(debug, kDebugStringSize, "%02d:%02d:%02d.%03d Thread %04u %s:%d:%s",
                                          now.wHour, now.wMinute, now.wSecond, now.wMilliseconds,
                                          static_cast<unsigned>(GetCurrentThreadId()), name, sourceLine, line);
        if (written < 0) debug[0] = '\0';
    }
}

void LogFormat(const char* sourceFile, int sourceLine, const char* format, ...) {
    char text[kFormattedTextBound];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    Log(sourceFile, sourceLine, text);
}
