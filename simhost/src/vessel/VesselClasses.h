// Where a vessel class comes from: a class registered in code, a class
// description "<Class>.cfg" (which may name a vessel class module), or
// nothing (the generic class with its defaults).
#pragma once

#include <string>

#include "World.h"

namespace simhost {

struct VesselClass {
    std::string descriptionPath;           // absolute path of the .cfg, or ""
    const LoadedModule* module = nullptr;  // vessel class module, or null: generic
    GenericClassSpec traits;
};

VesselClass FindVesselClass(const std::string& className);

}  // namespace simhost
