// Text rules of the host's configuration and scenario files: blanks,
// ';' comments, "tag = value" items, numbers that must be whole.
#pragma once

#include <string>
#include <string_view>

namespace simhost {

std::string_view TrimBlanks(std::string_view text);
// The part of a line before its ';' comment.
std::string_view WithoutComment(std::string_view line);
// The value of the first "tag = value" line of `text` whose tag equals `tag`
// ignoring case, with comment and surrounding blanks removed.
bool FindItemValue(std::string_view text, std::string_view tag, std::string_view& value);
// Whole-value parsers: trailing junk, empty text or out-of-range values fail.
bool ParseWholeInt(std::string_view text, int& value);
bool ParseWholeDouble(std::string_view text, double& value);
bool ParseBoolWord(std::string_view text, bool& value);
// Shortest text that reads back as exactly `value`.
std::string FormatExactDouble(double value);

}  // namespace simhost
