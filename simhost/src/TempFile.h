// A scratch file of the host's own (scenario text of one vessel on its way
// to or from the vessel's callbacks), outside every path root.
#pragma once

#include <string>

namespace simhost {

// An absolute path, unique to this process and purpose.
std::string TempFilePath(const std::string& purpose);
std::string ReadWholeFile(const std::string& path);
bool WriteWholeFile(const std::string& path, const std::string& content);
void RemoveFile(const std::string& path);

}  // namespace simhost
