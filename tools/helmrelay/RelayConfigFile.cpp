#include "RelayConfigFile.h"

#include <algorithm>
#include <cctype>
#include <fstream>

namespace {

const char* const kKeys[] = {"master",      "listen",   "maxclients", "maxclientsperaddress", "allowedclients", "trunk",
                             "trunklisten", "trunkkey", "insecure"};

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

}  // namespace

bool ReadRelayConfigFile(const std::string& path, std::map<std::string, std::string>& values, std::string& error) {
    std::ifstream file(path);
    if (!file) {
        error = "cannot read the configuration file " + path;
        return false;
    }
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        const std::string where = path + ":" + std::to_string(number) + ": ";
        line = Trim(line.substr(0, line.find_first_of(";#")));
        if (line.empty()) continue;
        const size_t equals = line.find('=');
        if (equals == std::string::npos) {
            error = where + "'" + line + "' is no 'key = value' line";
            return false;
        }
        const std::string key = Lower(Trim(line.substr(0, equals)));
        if (std::find(std::begin(kKeys), std::end(kKeys), key) == std::end(kKeys)) {
            error = where + "unknown key '" + Trim(line.substr(0, equals)) +
                    "' (known: master, listen, maxClients, maxClientsPerAddress, allowedClients, trunk, trunkListen, "
                    "trunkKey, insecure)";
            return false;
        }
        if (!values.emplace(key, Trim(line.substr(equals + 1))).second) {
            error = where + "'" + Trim(line.substr(0, equals)) + "' is given twice";
            return false;
        }
    }
    return true;
}
