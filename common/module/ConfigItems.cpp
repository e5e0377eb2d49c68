#include "ConfigItems.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr size_t kKeyCapacity = 64;
constexpr size_t kLineCapacity = 16384;

// The host's readers take a writable key name.
struct Key {
    explicit Key(const char* name) { std::snprintf(text, sizeof text, "%s", name); }
    char text[kKeyCapacity];
};

}  // namespace

bool ReadIntItem(FILEHANDLE file, const char* key, int32_t& value) {
    Key item(key);
    int read = 0;
    if (!oapiReadItem_int(file, item.text, read)) return false;
    value = read;
    return true;
}

bool ReadFloatItem(FILEHANDLE file, const char* key, double& value) {
    Key item(key);
    double read = 0.0;
    if (!oapiReadItem_float(file, item.text, read)) return false;
    value = read;
    return true;
}

bool ReadStringItem(FILEHANDLE file, const char* key, char* value, size_t capacity) {
    if (capacity == 0) return false;
    Key item(key);
    static char line[kLineCapacity];
    line[0] = '\0';
    if (!oapiReadItem_string(file, item.text, line)) return false;
    const size_t kept = std::min(strnlen(line, sizeof line), capacity - 1);
    std::memcpy(value, line, kept);
    value[kept] = '\0';
    return true;
}
