// Vessel creation and deletion.
#include <algorithm>

#include "GenericVessel.h"
#include "platform/PlatformServices.h"
#include "TempFile.h"
#include "VesselClasses.h"
#include "World.h"

namespace simhost {
namespace {

// The vessel's lines of a scenario, handed to its own load callback as an
// open file that ends at the vessel's END.
void LoadFromLines(HostVessel& state, const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    text += "END\n";
    const std::string path = TempFilePath("vessel-load.scn");
    WriteWholeFile(path, text);
    FILEHANDLE file = oapiOpenFile(path.c_str(), FILE_IN, ROOT);
    RemoveFile(path);  // the open file holds the text already
    VESSELSTATUS2 status{};
    status.version = 2;
    if (VESSEL2* callbacks = state.callbacks()) {
        callbacks->clbkLoadStateEx(file, &status);
        callbacks->clbkSetStateEx(&status);
    } else {
        char* line = nullptr;
        while (oapiReadScenario_nextline(file, line)) state.object->ParseScenarioLineEx(line, &status);
        state.object->DefSetStateEx(&status);
    }
    if (file != nullptr) oapiCloseFile(file, FILE_IN);
}

void ApplySource(HostVessel& state, const VesselSource& source) {
    if (source.status != nullptr) {
        state.object->DefSetState(source.status);
    } else if (source.statusEx != nullptr) {
        if (VESSEL2* callbacks = state.callbacks())
            callbacks->clbkSetStateEx(source.statusEx);
        else
            state.object->DefSetStateEx(source.statusEx);
    } else if (source.scenarioLines != nullptr) {
        LoadFromLines(state, *source.scenarioLines);
    }
    if (state.rbody == nullptr) state.rbody = TheWorld().bodies[0].get();
}

void DestroyObject(HostVessel& state) {
    VESSEL* object = state.object;
    state.object = nullptr;
    if (object != nullptr && state.destroyObject != nullptr) state.destroyObject(object);
}

}  // namespace

HostVessel* CreateVessel(const std::string& name, const std::string& className, const VesselSource& source) {
    World& world = TheWorld();
    if (name.empty() || VesselNamed(name) != nullptr) return nullptr;
    VesselClass vesselClass = FindVesselClass(className);

    world.vessels.push_back(std::make_unique<HostVessel>(name, className));
    HostVessel& state = *world.vessels.back();
    IndexVessel(&state);
    if (vesselClass.module != nullptr) {
        state.object = vesselClass.module->createVessel(&state, 1);
        state.destroyObject = vesselClass.module->destroyVessel;
    } else {
        state.object = new GenericVessel(&state, vesselClass.traits);
        state.destroyObject = &DestroyGenericVessel;
    }
    if (state.object == nullptr) {
        UnindexVessel(&state);
        world.vessels.pop_back();
        return nullptr;
    }

    FILEHANDLE description = vesselClass.descriptionPath.empty()
                                 ? nullptr
                                 : oapiOpenFile(vesselClass.descriptionPath.c_str(), FILE_IN, ROOT);
    if (VESSEL2* callbacks = state.callbacks())
        callbacks->clbkSetClassCaps(description);
    else if (vesselClass.module == nullptr)
        static_cast<GenericVessel*>(state.object)->clbkSetClassCaps(description);
    if (description != nullptr) oapiCloseFile(description, FILE_IN);

    ApplySource(state, source);
    if (world.focus == nullptr) world.focus = &state;  // the host always has a focus vessel
    ResolvePendingDocks();
    if (VESSEL2* callbacks = state.callbacks()) callbacks->clbkPostCreation();
    ForEachModule([&](oapi::Module& m) { m.clbkNewVessel(&state); });
    return &state;
}

void DeleteVessel(HostVessel* vessel) {
    World& world = TheWorld();
    ForEachModule([&](oapi::Module& m) { m.clbkDeleteVessel(vessel); });
    // The object goes first: its destructor may still use its vessel.
    DestroyObject(*vessel);
    if (world.focus == vessel) world.focus = nullptr;
    auto found = std::find_if(world.vessels.begin(), world.vessels.end(),
                              [vessel](const std::unique_ptr<HostVessel>& v) { return v.get() == vessel; });
    UnindexVessel(vessel);
    if (found != world.vessels.end()) world.vessels.erase(found);
}

void DeleteAllVessels() {
    World& world = TheWorld();
    for (auto it = world.vessels.rbegin(); it != world.vessels.rend(); ++it) DestroyObject(**it);
    world.focus = nullptr;
    ClearVesselIndex();
    world.vessels.clear();
}

void UnloadClassModules() {
    World& world = TheWorld();
    for (auto it = world.classModules.rbegin(); it != world.classModules.rend(); ++it) {
        if (it->exitModule != nullptr) it->exitModule(it->instance);
        ModuleRegistryRemove(it->instance);
        if (it->library != nullptr) LibraryClose(it->library);
    }
    world.classModules.clear();
}

void ResolvePendingDocks() {
    for (auto& owned : TheWorld().vessels) {
        auto& pending = owned->pendingDocks;
        pending.erase(std::remove_if(pending.begin(), pending.end(),
                                     [&](const PendingDock& dock) {
                                         HostVessel* mate = VesselNamed(dock.mateName);
                                         if (mate == nullptr) return false;
                                         DockVessels(*owned, dock.port, *mate, dock.matePort);
                                         return true;
                                     }),
                      pending.end());
    }
}

}  // namespace simhost
