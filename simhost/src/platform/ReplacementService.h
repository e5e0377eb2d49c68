// The host's side of function replacement: the library's calls (Lh...) are
// passed to these, within libsimhost on POSIX; on Windows from the library's
// stand-in DLL to the host program, which exports them.
#pragma once

#include "OrbiterAPI.h"
#include "easyhook_standin.h"

namespace simhost {

OAPIFUNC NTSTATUS ReplacementInstall(void* entryPoint, void* hookProcedure, TRACED_HOOK_HANDLE outHandle);
OAPIFUNC NTSTATUS ReplacementSetThreads(ULONG* threadIds, ULONG threadCount, TRACED_HOOK_HANDLE handle);
OAPIFUNC NTSTATUS ReplacementUninstall(TRACED_HOOK_HANDLE handle);
OAPIFUNC NTSTATUS ReplacementWaitForRemovals();

}  // namespace simhost
