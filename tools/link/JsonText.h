// Pieces of the JSON the programs beside the modules print: always valid
// JSON whatever bytes a name holds, and numbers that are not finite as null.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A JSON string literal of `text`: quotes, backslashes and control
// characters escaped, bytes above 127 taken as Latin-1 characters.
std::string JsonString(const std::string& text);
std::string JsonNumber(double value);
std::string JsonInteger(int64_t value);
// An object's text (as JsonMembers::Object makes it) placed as a member
// value one level deeper: every line after the first indented by `indent`.
std::string JsonNested(const std::string& object, const std::string& indent);

// Values (objects made at `indent` + 2) as an array, one a line at `indent`
// + 2; "[]" when there is none.
std::string JsonArray(const std::vector<std::string>& values, const std::string& indent);

// Members of one object, one per line at the given indent.
class JsonMembers {
public:
    explicit JsonMembers(std::string indent) : indent_(std::move(indent)) {}
    JsonMembers& Add(const char* key, const std::string& json);
    std::string Object(const std::string& closingIndent) const;

private:
    std::string indent_;
    std::string text_;
};
