#include "WireName.h"

#include <cstring>

namespace wire {

std::string NameText(const Name& field) {
    const void* end = std::memchr(field, '\0', kNameSize);
    const size_t length = end == nullptr ? kNameSize : static_cast<size_t>(static_cast<const char*>(end) - field);
    return std::string(field, length);
}

bool SafeClassName(const char* name) {
    for (const char* p = name; *p != '\0'; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c < 0x20 || c == 0x7F || c == '/' || c == '\\' || c == ':') return false;
        if (c == '.' && p[1] == '.') return false;
    }
    return true;
}

std::string PrintableName(const char* name) {
    std::string text;
    for (const char* p = name; *p != '\0'; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        text += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
    }
    return text;
}

}  // namespace wire
