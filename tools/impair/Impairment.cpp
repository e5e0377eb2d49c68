#include "Impairment.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace impair {

namespace {

constexpr double kMaxMilliseconds = 60000.0;

bool ParseNumber(const std::string& text, double low, double high, double& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && *end == '\0' && errno == 0 && std::isfinite(value) && value >= low && value <= high;
}

// "A" or "A:B" into two numbers; B stays as it was when absent.
bool ParsePair(const std::string& text, double high, double& first, double& second) {
    const size_t colon = text.find(':');
    if (colon == std::string::npos) return ParseNumber(text, 0.0, high, first);
    return ParseNumber(text.substr(0, colon), 0.0, high, first) &&
           ParseNumber(text.substr(colon + 1), 0.0, kMaxMilliseconds, second);
}

}  // namespace

bool ParseLinkSettings(const std::string& text, LinkSettings& settings, std::string& error) {
    LinkSettings parsed;
    std::stringstream items(text);
    std::string item;
    while (std::getline(items, item, ',')) {
        if (item.empty() || item == "none") continue;
        const size_t equals = item.find('=');
        const std::string key = item.substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : item.substr(equals + 1);
        bool good = false;
        if (key == "loss") {
            good = ParseNumber(value, 0.0, 100.0, parsed.lossPercent);
        } else if (key == "dup") {
            good = ParseNumber(value, 0.0, 100.0, parsed.duplicatePercent);
        } else if (key == "reorder") {
            good = ParsePair(value, 100.0, parsed.reorderPercent, parsed.reorderExtraMs);
        } else if (key == "delay") {
            good = ParsePair(value, kMaxMilliseconds, parsed.delayMs, parsed.jitterMs);
        }
        if (!good) {
            error = "bad link setting '" + item + "' (loss=P, dup=P, reorder=P:MS, delay=MS:JITTER_MS)";
            return false;
        }
    }
    settings = parsed;
    return true;
}

std::string DescribeLinkSettings(const LinkSettings& s) {
    char text[160];
    std::snprintf(text, sizeof text, "loss %g %%, dup %g %%, reorder %g %% +%g ms, delay %g +/- %g ms", s.lossPercent,
                  s.duplicatePercent, s.reorderPercent, s.reorderExtraMs, s.delayMs, s.jitterMs);
    return text;
}

LinkImpairment::LinkImpairment(const LinkSettings& settings, uint64_t seed) : settings_(settings), random_(seed) {}

double LinkImpairment::DelaySeconds() {
    double ms = settings_.delayMs;
    if (settings_.jitterMs > 0.0) ms += (2.0 * random_.Uniform() - 1.0) * settings_.jitterMs;
    if (settings_.reorderPercent > 0.0 && random_.Uniform() * 100.0 < settings_.reorderPercent) {
        ms += settings_.reorderExtraMs;
        ++counts_.reordered;
    }
    ms = std::fmax(0.0, ms);
    if (ms > 0.0) ++counts_.delayed;
    return ms / 1000.0;
}

std::vector<double> LinkImpairment::Schedule(double now) {
    ++counts_.received;
    const bool lost = random_.Uniform() * 100.0 < settings_.lossPercent;
    const bool doubled = random_.Uniform() * 100.0 < settings_.duplicatePercent;
    std::vector<double> departures;
    if (lost) {
        ++counts_.dropped;
        return departures;
    }
    departures.push_back(now + DelaySeconds());
    if (doubled) {
        ++counts_.duplicated;
        departures.push_back(now + DelaySeconds());
    }
    return departures;
}

}  // namespace impair
