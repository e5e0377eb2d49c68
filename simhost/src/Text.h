// Text helpers shared by the scenario, class description and dump code.
#pragma once

#include <string>
#include <vector>

namespace simhost {

bool EqualNoCase(const std::string& a, const std::string& b);
std::string LowerCase(const std::string& text);
std::string Trim(const std::string& text);
// Splits at blanks and tabs; no empty words.
std::vector<std::string> Words(const std::string& text);
// Splits at one separator character, keeping empty parts.
std::vector<std::string> SplitAt(const std::string& text, char separator);
// Shortest text that reads back as exactly the same double.
std::string ExactNumber(double value);
// Text of a factor f with f * scale == product exactly where such a double
// exists (angles kept in radians but written in degrees, masses written as
// fractions), so that reading the text back restores the product.
std::string ExactFactor(double product, double scale);
// Strict number readers: the whole word must be the number.
bool ReadNumber(const std::string& word, double& value);
bool ReadUnsigned(const std::string& word, unsigned long& value);
// A JSON string literal (quotes and escapes included).
std::string JsonString(const std::string& text);

}  // namespace simhost
