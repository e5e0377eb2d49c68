#include "RelayEvents.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <ctime>

#include "ProgramPlatform.h"

namespace {

std::string Stamp() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto sinceEpoch = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
    std::tm local{};
    LocalTimeOf(seconds, local);
    char text[40];
    const size_t length = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    std::snprintf(text + length, sizeof text - length, ".%03d", static_cast<int>(sinceEpoch % 1000));
    return text;
}

}  // namespace

void RelayEvents::Say(const char* format, ...) {
    if (sink_ == Sink::kNone) return;
    char text[400];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    const std::string line = Stamp() + " helmrelay: " + text;
    if (sink_ == Sink::kStandardError) {
        std::fprintf(stderr, "%s\n", line.c_str());
        return;
    }
    recent_.push_back(line);
    if (recent_.size() > kKept) recent_.pop_front();
}
