// Text pieces the status views share: printf into a string, sizes, and
// tables whose columns are padded to their widest cell.
#pragma once

#include <string>
#include <vector>

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
// "512 B" below ten thousand bytes, "12.3 KB" from there on.
std::string SizeText(double bytes);
// One line per row, cells two blanks apart, no trailing blanks.
std::string TextTable(const std::vector<std::vector<std::string>>& rows);
