#include "ItemText.h"

#include <strings.h>

#include <charconv>
#include <cmath>

namespace simhost {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace

std::string_view TrimBlanks(std::string_view text) {
    size_t begin = 0;
    while (begin < text.size() && IsBlank(text[begin])) ++begin;
    size_t end = text.size();
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

std::string_view WithoutComment(std::string_view line) {
    size_t semicolon = line.find(';');
    return semicolon == std::string_view::npos ? line : line.substr(0, semicolon);
}

bool FindItemValue(std::string_view text, std::string_view tag, std::string_view& value) {
    std::string_view wanted = TrimBlanks(tag);
    size_t start = 0;
    while (start < text.size()) {
        size_t newline = text.find('\n', start);
        size_t end = newline == std::string_view::npos ? text.size() : newline;
        std::string_view line = WithoutComment(text.substr(start, end - start));
        size_t equals = line.find('=');
        if (equals != std::string_view::npos && EqualIgnoringCase(TrimBlanks(line.substr(0, equals)), wanted)) {
            value = TrimBlanks(line.substr(equals + 1));
            return true;
        }
        start = end + 1;
    }
    return false;
}

bool ParseWholeInt(std::string_view text, int& value) {
    text = TrimBlanks(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    int parsed = 0;
    auto result = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size()) return false;
    value = parsed;
    return true;
}

bool ParseWholeDouble(std::string_view text, double& value) {
    text = TrimBlanks(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    double parsed = 0.0;
    auto result = std::from_chars(text.data(), text.data() + text.size(), parsed);
    // A configuration number is a finite decimal; nan and inf are no values.
    if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size() || !std::isfinite(parsed))
        return false;
    value = parsed;
    return true;
}

bool ParseBoolWord(std::string_view text, bool& value) {
    text = TrimBlanks(text);
    if (EqualIgnoringCase(text, "true")) {
        value = true;
        return true;
    }
    if (EqualIgnoringCase(text, "false")) {
        value = false;
        return true;
    }
    return false;
}

std::string FormatExactDouble(double value) {
    char text[64];
    auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

}  // namespace simhost
