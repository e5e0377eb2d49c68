// A module's configuration file, read through the host's item readers, with
// the mistakes people make by hand reported instead of passed over: a key
// nobody reads (a typo), a value that is not of its key's type.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Platform.h"

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
