// What the host SDK's static library supplies to every plug-in module.
#include "Orbitersdk.h"

DLLCLBK int GetModuleVersion() { return Date2Int("Aug 30 2010"); }
