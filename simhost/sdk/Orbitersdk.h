// Everything a plug-in of the host includes.
#pragma once

#include "ModuleAPI.h"
#include "OrbiterAPI.h"
#include "VesselAPI.h"
