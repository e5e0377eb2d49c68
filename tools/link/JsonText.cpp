#include "JsonText.h"

#include <cmath>
#include <cstdio>

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string JsonNumber(double value) {
    if (!std::isfinite(value)) return "null";
    char text[40];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

std::string JsonInteger(int64_t value) { return std::to_string(value); }

std::string JsonNested(const std::string& object, const std::string& indent) {
    std::string text;
    for (char c : object) {
        text += c;
        if (c == '\n') text += indent;
    }
    // The indent after a final line break belongs to no line.
    while (!text.empty() && (text.back() == ' ' || text.back() == '\n')) text.pop_back();
    return text;
}

std::string JsonArray(const std::vector<std::string>& values, const std::string& indent) {
    if (values.empty()) return "[]";
    std::string text = "[";
    for (const std::string& value : values) text += (text.size() > 1 ? ",\n" : "\n") + indent + "  " + value;
    return text + "\n" + indent + "]";
}

JsonMembers& JsonMembers::Add(const char* key, const std::string& json) {
    text_ += (text_.empty() ? "" : ",\n") + indent_ + JsonString(key) + ": " + json;
    return *this;
}

std::string JsonMembers::Object(const std::string& closingIndent) const {
    return "{\n" + text_ + "\n" + closingIndent + "}";
}
