// A module's configuration file, read through the host's item readers, with
// the mistakes people make by hand reported instead of passed over: a key
// nobody reads (a typo), a value that is not of its key's type.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Platform.h"

// One setting of a module: its key, its kind and where its value lives.
// A module lists its settings in one table, in the order they are read.
struct ConfigKey {
    enum class Kind { kInt, kFloat, kText };
    const char* key;
    Kind kind;
    void* value;          // int32_t, double or char[capacity]
    size_t capacity = 0;  // text only
};

inline ConfigKey IntKey(const char* key, int32_t& value) { return {key, ConfigKey::Kind::kInt, &value, 0}; }
inline ConfigKey FloatKey(const char* key, double& value) { return {key, ConfigKey::Kind::kFloat, &value, 0}; }
template <size_t N>
ConfigKey TextKey(const char* key, char (&value)[N]) {
    return {key, ConfigKey::Kind::kText, value, N};
}

class ConfigFile {
public:
    // Opens `name` in the host's configuration folder; a missing file reads
    // as a file without keys.
    explicit ConfigFile(const char* name);
    ~ConfigFile();
    ConfigFile(const ConfigFile&) = delete;
    ConfigFile& operator=(const ConfigFile&) = delete;

    // Each leaves `value` at its default when the key is missing, or when
    // its value is not of the type (that is noted as a problem). True when
    // the key was read.
    bool Int(const char* key, int32_t& value);
    bool Float(const char* key, double& value);
    bool Text(const char* key, char* value, size_t capacity);
    bool Read(const ConfigKey& setting);

    // "key=value" as the setting now holds it, for the module's echo line.
    static std::string Echo(const ConfigKey& setting);

    // What to tell the user, once each: values that were not of their type,
    // in the order read, then keys that no read asked for, in file order,
    // with the nearest known key when one is close.
    std::vector<std::string> Problems() const;

private:
    struct Line {
        std::string key;
        std::string value;
        bool known = false;
    };
    Line* find(const char* key);

    FILEHANDLE file_ = nullptr;
    std::vector<Line> lines_;
    std::vector<std::string> asked_;
    std::vector<std::string> unreadable_;
};
