#include "LinkText.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "ProgramPlatform.h"

namespace {

constexpr double kMjdOfUnixEpoch = 40587.0;
constexpr double kSecondsPerDay = 86400.0;

}  // namespace

std::string KeyName(const wire::KeyEvent& key) {
    const int32_t vk = key.virtualKey;
    if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) return std::string(1, static_cast<char>(vk));
    char text[16];
    std::snprintf(text, sizeof text, "scan 0x%02X", key.scanCode);
    return text;
}

std::string KeyText(const wire::KeyEvent& key) {
    return KeyName(key) + (key.release ? " up" : " down") + (key.altHeld ? " alt" : "");
}

std::string MjdText(double mjd) {
    // Years 1 to 9999 lie within MJD -678575 to 2973483.
    if (!std::isfinite(mjd) || mjd < -678575.0 || mjd >= 2973484.0) return "?";
    const time_t seconds = static_cast<time_t>(std::floor((mjd - kMjdOfUnixEpoch) * kSecondsPerDay + 0.5));
    std::tm utc{};
    if (!UtcTimeOf(seconds, utc)) return "?";
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday,
                  utc.tm_hour, utc.tm_min, utc.tm_sec);
    return text;
}

std::string NoUpdateText(const std::string& master, double seconds, bool messagesCame) {
    char text[64];
    std::snprintf(text, sizeof text, "%.1f", seconds);
    return "no update from " + master + " in " + text + " s (" +
           (messagesCame ? "messages, but no complete update" : "no message at all") +
           "); is a master running there, on that port?";
}
