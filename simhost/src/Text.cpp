#include "Text.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <strings.h>

namespace simhost {

bool EqualNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && strcasecmp(a.c_str(), b.c_str()) == 0;
}

std::string LowerCase(const std::string& text) {
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

std::string Trim(const std::string& text) {
    const char* blanks = " \t\r\n";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return std::string();
    size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    size_t at = 0;
    while (true) {
        size_t start = text.find_first_not_of(" \t\r\n", at);
        if (start == std::string::npos) break;
        size_t end = text.find_first_of(" \t\r\n", start);
        words.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) break;
        at = end;
    }
    return words;
}

std::vector<std::string> SplitAt(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return parts;
}

std::string ExactNumber(double value) {
    // The shortest text that reads back exactly, without an exponent where
    // one of at most 17 digits does (files stay readable).
    char text[40];
    std::string withExponent;
    for (int digits = 1; digits <= 17; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, value);
        if (std::strtod(text, nullptr) != value) continue;
        if (std::strchr(text, 'e') == nullptr) return text;
        if (withExponent.empty()) withExponent = text;
    }
    if (!withExponent.empty()) return withExponent;
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

std::string ExactFactor(double product, double scale) {
    double factor = product / scale;
    if (scale == 0.0 || factor * scale == product) return ExactNumber(factor);
    double below = factor, above = factor;
    for (int step = 0; step < 8; ++step) {
        below = std::nextafter(below, -HUGE_VAL);
        above = std::nextafter(above, HUGE_VAL);
        if (below * scale == product) return ExactNumber(below);
        if (above * scale == product) return ExactNumber(above);
    }
    return ExactNumber(factor);
}

bool ReadNumber(const std::string& word, double& value) {
    if (word.empty()) return false;
    char* end = nullptr;
    double read = std::strtod(word.c_str(), &end);
    if (end == word.c_str() || *end != '\0') return false;
    value = read;
    return true;
}

bool ReadUnsigned(const std::string& word, unsigned long& value) {
    if (word.empty() || word[0] == '-') return false;
    char* end = nullptr;
    unsigned long read = std::strtoul(word.c_str(), &end, 10);
    if (end == word.c_str() || *end != '\0') return false;
    value = read;
    return true;
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    out += escaped;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

}  // namespace simhost
