// The relay's configuration file: one "key = value" a line, keys in any
// case, ';' or '#' starts a comment, blank lines ignored.
//
//   master = 192.0.2.10:40000
//   listen = 40000
//   maxClients = 64
//   maxClientsPerAddress = 16
//   allowedClients = 192.168.1.0/24
#pragma once

#include <map>
#include <string>

// The values by key in lower case. False with "FILE:LINE: ..." in `error`
// for a file that cannot be read, a line without '=', an unknown key or a
// key given twice.
bool ReadRelayConfigFile(const std::string& path, std::map<std::string, std::string>& values, std::string& error);
