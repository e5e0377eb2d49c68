#include "RelayEvents.h"

#include <sys/time.h>

#include <cstdarg>
#include <cstdio>
#include <ctime>

namespace {

std::string Stamp() {
    timeval now{};
    ::gettimeofday(&now, nullptr);
    std::tm local{};
    const std::time_t seconds = now.tv_sec;
    ::localtime_r(&seconds, &local);
    char text[40];
    const size_t length = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    std::snprintf(text + length, sizeof text - length, ".%03d", static_cast<int>(now.tv_usec / 1000));
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
