#include "WireName.h"

#include <cstring>

namespace wire {

std::string NameText(const Name& field) {
    const void* end = std::memchr(field, '\0', kNameSize);
    const size_t length = end == nullptr ? kNameSize : static_cast<size_t>(static_cast<const char*>(end) - field);
    return std::string(field, length);
}

}  // namespace wire
