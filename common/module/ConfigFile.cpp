#include "ConfigFile.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ConfigItems.h"

namespace {

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string Trim(const std::string& text) {
    const size_t begin = text.find_first_not_of(" \t\r");
    if (begin == std::string::npos) return "";
    const size_t end = text.find_last_not_of(" \t\r");
    return text.substr(begin, end - begin + 1);
}

// Edits (insert, delete, replace, ignoring case) between two keys.
size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            const bool same = std::tolower(static_cast<unsigned char>(a[i - 1])) ==
                              std::tolower(static_cast<unsigned char>(b[j - 1]));
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// A whole decimal number that fits 32 bits, blanks around it allowed.
bool WholeInt(const std::string& text) {
    const std::string t = Trim(text);
    if (t.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(t.c_str(), &end, 10);
    return *end == '\0' && errno == 0 && value >= INT32_MIN && value <= INT32_MAX;
}

bool WholeNumber(const std::string& text) {
    const std::string t = Trim(text);
    if (t.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(t.c_str(), &end);
    return *end == '\0' && errno == 0 && std::isfinite(value);
}

}  // namespace

ConfigFile::ConfigFile(const char* name) {
    // The keys present, read line by line through the host; the values
    // themselves come from the host's item readers below.
    FILEHANDLE scan = oapiOpenFile(name, FILE_IN, CONFIG);
    if (scan != nullptr) {
        char* text = nullptr;
        for (int count = 0; count < 10000 && oapiReadScenario_nextline(scan, text) && text != nullptr; ++count) {
            const std::string line(text);
            const size_t equals = line.find('=');
            Line entry;
            entry.key = Trim(line.substr(0, equals));
            if (equals != std::string::npos) entry.value = Trim(line.substr(equals + 1));
            lines_.push_back(entry);
        }
        oapiCloseFile(scan, FILE_IN);
    }
    file_ = oapiOpenFile(name, FILE_IN, CONFIG);
}

ConfigFile::~ConfigFile() {
    if (file_ != nullptr) oapiCloseFile(file_, FILE_IN);
}

ConfigFile::Line* ConfigFile::find(const char* key) {
    asked_.emplace_back(key);
    Line* found = nullptr;
    for (Line& line : lines_) {
        if (!SameIgnoringCase(line.key, key)) continue;
        line.known = true;
        if (found == nullptr) found = &line;
    }
    return found;
}

bool ConfigFile::Int(const char* key, int32_t& value) {
    const Line* line = find(key);
    if (line != nullptr && !WholeInt(line->value)) {
        char problem[256];
        std::snprintf(problem, sizeof problem, "%s = %s: not a whole number, using the default %d", key,
                      line->value.c_str(), value);
        unreadable_.push_back(problem);
        return false;
    }
    return ReadIntItem(file_, key, value);
}

bool ConfigFile::Float(const char* key, double& value) {
    const Line* line = find(key);
    if (line != nullptr && !WholeNumber(line->value)) {
        char problem[256];
        std::snprintf(problem, sizeof problem, "%s = %s: not a number, using the default %g", key, line->value.c_str(),
                      value);
        unreadable_.push_back(problem);
        return false;
    }
    return ReadFloatItem(file_, key, value);
}

bool ConfigFile::Text(const char* key, char* value, size_t capacity) {
    find(key);
    return ReadStringItem(file_, key, value, capacity);
}

bool ConfigFile::Read(const ConfigKey& setting) {
    switch (setting.kind) {
        case ConfigKey::Kind::kInt:
            return Int(setting.key, *static_cast<int32_t*>(setting.value));
        case ConfigKey::Kind::kFloat:
            return Float(setting.key, *static_cast<double*>(setting.value));
        case ConfigKey::Kind::kText:
            return Text(setting.key, static_cast<char*>(setting.value), setting.capacity);
    }
    return false;
}

std::string ConfigFile::Echo(const ConfigKey& setting) {
    char value[300];
    switch (setting.kind) {
        case ConfigKey::Kind::kInt:
            std::snprintf(value, sizeof value, "%d", *static_cast<const int32_t*>(setting.value));
            break;
        case ConfigKey::Kind::kFloat:
            std::snprintf(value, sizeof value, "%g", *static_cast<const double*>(setting.value));
            break;
        case ConfigKey::Kind::kText:
            std::snprintf(value, sizeof value, "%s", static_cast<const char*>(setting.value));
            break;
    }
    return std::string(setting.key) + "=" + value;
}

std::vector<std::string> ConfigFile::Problems() const {
    std::vector<std::string> problems = unreadable_;
    for (const Line& line : lines_) {
        if (line.known) continue;
        const std::string* nearest = nullptr;
        size_t best = 0;
        for (const std::string& key : asked_) {
            const size_t distance = EditDistance(line.key, key);
            if (nearest == nullptr || distance < best) {
                nearest = &key;
                best = distance;
            }
        }
        // Close: a slip of a key or two, a little more for long keys.
        const size_t allowed = std::max<size_t>(2, (nearest != nullptr ? nearest->size() : 0) / 4);
        char problem[256];
        if (nearest != nullptr && best <= allowed) {
            std::snprintf(problem, sizeof problem, "%s: unknown key, did you mean %s?", line.key.c_str(),
                          nearest->c_str());
        } else {
            std::snprintf(problem, sizeof problem, "%s: unknown key", line.key.c_str());
        }
        problems.push_back(problem);
    }
    return problems;
}
