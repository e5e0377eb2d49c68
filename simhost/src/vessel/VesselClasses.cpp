#include "VesselClasses.h"

#include <cstdio>
#include <filesystem>
#include <iostream>

#include "platform/PlatformServices.h"
#include "Text.h"

namespace simhost {
namespace {

namespace fs = std::filesystem;

// "<dir>/<Class>.cfg", matching the file name without regard to case.
std::string DescriptionIn(const fs::path& dir, const std::string& className) {
    std::error_code error;
    fs::path exact = dir / (className + ".cfg");
    if (fs::is_regular_file(exact, error)) return fs::absolute(exact, error).string();
    if (!fs::is_directory(dir, error)) return std::string();
    for (const auto& entry : fs::directory_iterator(dir, error))
        if (EqualNoCase(entry.path().filename().string(), className + ".cfg"))
            return fs::absolute(entry.path(), error).string();
    return std::string();
}

std::string FindDescription(const std::string& className) {
    const World& world = TheWorld();
    std::string found = DescriptionIn(FilesPath("Vessels", CONFIG), className);
    for (size_t i = 0; found.empty() && i < world.options.classDirs.size(); ++i)
        found = DescriptionIn(world.options.classDirs[i], className);
    return found;
}

bool ReadString(FILEHANDLE file, const char* key, std::string& value) {
    char item[64];
    char text[256] = {};
    std::snprintf(item, sizeof item, "%s", key);
    if (!oapiReadItem_string(file, item, text)) return false;
    value = Trim(text);
    return true;
}

void ReadInt(FILEHANDLE file, const char* key, int& value) {
    char item[64];
    std::snprintf(item, sizeof item, "%s", key);
    int read = 0;
    if (oapiReadItem_int(file, item, read)) value = read;
}

void ReadFloat(FILEHANDLE file, const char* key, double& value) {
    char item[64];
    std::snprintf(item, sizeof item, "%s", key);
    double read = 0.0;
    if (oapiReadItem_float(file, item, read)) value = read;
}

GenericClassSpec ReadTraits(FILEHANDLE file) {
    GenericClassSpec traits;
    ReadInt(file, "InterfaceVersion", traits.interfaceVersion);
    std::string masses;
    if (ReadString(file, "Propellants", masses))
        for (const std::string& part : SplitAt(masses, ',')) {
            double mass = 0.0;
            if (ReadNumber(Trim(part), mass) && mass >= 0.0) traits.propellantMasses.push_back(mass);
        }
    ReadInt(file, "Thrusters", traits.thrusters);
    ReadInt(file, "DockPorts", traits.dockPorts);
    ReadInt(file, "NavRadios", traits.navRadios);
    ReadInt(file, "Animations", traits.animations);
    ReadFloat(file, "AnimationRate", traits.animationRate);
    ReadFloat(file, "EmptyMass", traits.emptyMass);
    ReadFloat(file, "Size", traits.size);
    return traits;
}

// Loads "<name>.so" (".dll" on Windows) from the module folders once; null
// when it cannot.
const LoadedModule* ClassModule(const std::string& name) {
    World& world = TheWorld();
    const std::string fileName = name + ModuleFileExtension();
    for (const LoadedModule& loaded : world.classModules)
        if (EqualNoCase(loaded.name, fileName)) return &loaded;
    for (const std::string& dir : world.options.moduleDirs) {
        fs::path path = fs::path(dir) / fileName;
        std::error_code error;
        if (!fs::is_regular_file(path, error)) continue;
        std::string why;
        void* library = LibraryOpen(path.string(), why);
        if (library == nullptr) {
            std::cerr << "simhost: cannot load vessel class module " << path << ": " << why << "\n";
            continue;
        }
        LoadedModule loaded;
        loaded.name = fileName;
        loaded.library = library;
        loaded.createVessel = reinterpret_cast<VesselClassInit>(LibrarySymbol(library, "ovcInit"));
        loaded.destroyVessel = reinterpret_cast<VesselClassExit>(LibrarySymbol(library, "ovcExit"));
        if (loaded.createVessel == nullptr) {
            std::cerr << "simhost: " << path << " has no ovcInit\n";
            LibraryClose(library);
            continue;
        }
        loaded.instance = ModuleRegistryAdd(loaded.name, library);
        loaded.exitModule = reinterpret_cast<void (*)(HINSTANCE)>(LibrarySymbol(library, "ExitModule"));
        world.classModules.push_back(loaded);
        if (auto init = reinterpret_cast<void (*)(HINSTANCE)>(LibrarySymbol(library, "InitModule")))
            init(world.classModules.back().instance);
        return &world.classModules.back();
    }
    std::cerr << "simhost: vessel class module " << fileName << " not found\n";
    return nullptr;
}

}  // namespace

VesselClass FindVesselClass(const std::string& className) {
    VesselClass result;
    World& world = TheWorld();
    auto registered = world.genericClasses.find(className);
    if (registered != world.genericClasses.end()) {
        result.traits = registered->second;
        return result;
    }
    result.descriptionPath = FindDescription(className);
    if (result.descriptionPath.empty()) {
        std::cerr << "simhost: no description of vessel class \"" << className << "\", using the generic class\n";
        return result;
    }
    FILEHANDLE file = oapiOpenFile(result.descriptionPath.c_str(), FILE_IN, ROOT);
    std::string moduleName;
    if (ReadString(file, "Module", moduleName) && !moduleName.empty())
        result.module = ClassModule(moduleName);
    else
        result.traits = ReadTraits(file);
    if (file != nullptr) oapiCloseFile(file, FILE_IN);
    return result;
}

void RegisterGenericClass(const std::string& className, const GenericClassSpec& traits) {
    TheWorld().genericClasses[className] = traits;
}

}  // namespace simhost
