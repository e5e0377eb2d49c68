// Scenario files: loading into the host, saving the host's state.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/PlatformServices.h"
#include "TempFile.h"
#include "Text.h"
#include "World.h"

namespace simhost {
namespace {

namespace fs = std::filesystem;

std::string CleanLine(const std::string& raw) {
    size_t comment = raw.find(';');
    return Trim(comment == std::string::npos ? raw : raw.substr(0, comment));
}

// The file as given, else below the SCENARIOS root, with or without ".scn".
std::string LocateScenario(const std::string& path) {
    std::error_code error;
    for (const std::string& candidate :
         {path, path + ".scn", FilesPath(path, SCENARIOS), FilesPath(path + ".scn", SCENARIOS)})
        if (fs::is_regular_file(candidate, error)) return candidate;
    return std::string();
}

void WriteLine(FILEHANDLE file, const std::string& line) {
    std::string copy = line;
    oapiWriteLine(file, copy.data());
}

bool WriteScenarioTo(const std::string& path, const std::string& description) {
    std::error_code error;
    fs::path target = fs::absolute(path, error);
    if (target.has_parent_path()) fs::create_directories(target.parent_path(), error);
    FILEHANDLE file = oapiOpenFile(target.string().c_str(), FILE_OUT, ROOT);
    if (file == nullptr) return false;
    WriteScenario(file, description);
    oapiCloseFile(file, FILE_OUT);
    return true;
}

}  // namespace

void WriteScenario(FILEHANDLE file, const std::string& description) {
    World& world = TheWorld();
    WriteLine(file, "BEGIN_DESC");
    std::istringstream lines(description);
    for (std::string line; std::getline(lines, line);) WriteLine(file, line);
    WriteLine(file, "END_DESC");
    WriteLine(file, "");
    WriteLine(file, "BEGIN_ENVIRONMENT");
    WriteLine(file, "  Date MJD " + ExactNumber(world.mjd));
    WriteLine(file, "END_ENVIRONMENT");
    WriteLine(file, "");
    if (world.focus != nullptr) {
        WriteLine(file, "BEGIN_FOCUS");
        WriteLine(file, "  Ship " + world.focus->name);
        WriteLine(file, "END_FOCUS");
        WriteLine(file, "");
    }
    WriteLine(file, "BEGIN_SHIPS");
    for (size_t i = 0; i < world.vessels.size(); ++i) {
        HostVessel& vessel = *world.vessels[i];
        if (vessel.object == nullptr) continue;
        WriteLine(file, vessel.name + ":" + vessel.className);
        if (VESSEL2* callbacks = vessel.callbacks())
            callbacks->clbkSaveState(file);
        else
            vessel.object->SaveDefaultState(file);
        WriteLine(file, "END");
    }
    WriteLine(file, "END_SHIPS");
}

std::string VesselScenarioText(HostVessel& vessel) {
    if (vessel.object == nullptr) return std::string();
    const std::string path = TempFilePath("vessel-save.scn");
    FILEHANDLE file = oapiOpenFile(path.c_str(), FILE_OUT, ROOT);
    if (file == nullptr) return std::string();
    if (VESSEL2* callbacks = vessel.callbacks())
        callbacks->clbkSaveState(file);
    else
        vessel.object->SaveDefaultState(file);
    oapiCloseFile(file, FILE_OUT);
    std::string text = ReadWholeFile(path);
    RemoveFile(path);
    return text;
}

bool Host::loadScenario(const std::string& path, std::string* error) {
    World& world = TheWorld();
    const std::string located = LocateScenario(path);
    if (located.empty()) {
        if (error != nullptr) *error = "scenario not found: " + path;
        return false;
    }
    std::ifstream in(located);
    std::vector<std::string> lines;
    for (std::string raw; std::getline(in, raw);) {
        std::string line = CleanLine(raw);
        if (!line.empty()) lines.push_back(line);
    }

    std::string focusName, problems;
    size_t i = 0;
    auto sectionEnd = [&](const std::string& endTag) {
        while (i < lines.size() && !EqualNoCase(lines[i], endTag)) ++i;
    };
    while (i < lines.size()) {
        const std::string line = lines[i++];
        std::vector<std::string> words = Words(line);
        if (EqualNoCase(line, "BEGIN_ENVIRONMENT")) {
            for (; i < lines.size() && !EqualNoCase(lines[i], "END_ENVIRONMENT"); ++i) {
                std::vector<std::string> item = Words(lines[i]);
                double mjd = 0.0;
                if (item.size() >= 3 && EqualNoCase(item[0], "Date") && EqualNoCase(item[1], "MJD") &&
                    ReadNumber(item[2], mjd))
                    world.mjd = mjd;
            }
        } else if (EqualNoCase(line, "BEGIN_FOCUS")) {
            for (; i < lines.size() && !EqualNoCase(lines[i], "END_FOCUS"); ++i) {
                std::vector<std::string> item = Words(lines[i]);
                if (item.size() >= 2 && EqualNoCase(item[0], "Ship")) focusName = item[1];
            }
        } else if (EqualNoCase(line, "BEGIN_SHIPS")) {
            for (; i < lines.size() && !EqualNoCase(lines[i], "END_SHIPS");) {
                const std::string header = lines[i++];
                std::vector<std::string> body;
                for (; i < lines.size() && !EqualNoCase(lines[i], "END") && !EqualNoCase(lines[i], "END_SHIPS"); ++i)
                    body.push_back(lines[i]);
                if (i < lines.size() && EqualNoCase(lines[i], "END")) ++i;
                size_t colon = header.find(':');
                std::string name = Trim(header.substr(0, colon));
                std::string className = colon == std::string::npos ? std::string() : Trim(header.substr(colon + 1));
                VesselSource source;
                source.scenarioLines = &body;
                if (name.empty() || className.empty() || CreateVessel(name, className, source) == nullptr)
                    problems += "cannot create vessel \"" + header + "\"; ";
            }
        } else if (words.size() == 1 && words[0].rfind("BEGIN_", 0) == 0) {
            sectionEnd("END_" + words[0].substr(6));  // a section this host does not use
        }
        if (i < lines.size() && lines[i].rfind("END_", 0) == 0) ++i;
    }
    ResolvePendingDocks();
    if (HostVessel* focus = VesselNamed(focusName)) oapiSetFocusObject(focus);
    if (!problems.empty() && error != nullptr) *error = problems;
    return problems.empty();
}

bool Host::saveScenario(const std::string& path, const std::string& description) {
    return WriteScenarioTo(path, description);
}

}  // namespace simhost

bool oapiSaveScenario(const char* fname, const char* desc) {
    if (fname == nullptr) return false;
    std::string name = fname;
    if (name.size() < 4 || name.compare(name.size() - 4, 4, ".scn") != 0) name += ".scn";
    return simhost::WriteScenarioTo(simhost::FilesPath(name, SCENARIOS), desc != nullptr ? desc : "");
}
