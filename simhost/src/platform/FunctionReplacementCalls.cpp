// The function-replacement library's calls, as the slave makes them, passed
// to the host's replacement service. Part of libsimhost (on Windows the
// library's stand-in DLL has them: src/windows/EasyHookStandin.cpp).
#include "ReplacementService.h"

NTSTATUS WINAPI LhInstallHook(void* entryPoint, void* hookProcedure, void* /*callback*/, TRACED_HOOK_HANDLE outHandle) {
    return simhost::ReplacementInstall(entryPoint, hookProcedure, outHandle);
}

NTSTATUS WINAPI LhSetInclusiveACL(ULONG* threadIds, ULONG threadCount, TRACED_HOOK_HANDLE handle) {
    return simhost::ReplacementSetThreads(threadIds, threadCount, handle);
}

NTSTATUS WINAPI LhUninstallHook(TRACED_HOOK_HANDLE handle) { return simhost::ReplacementUninstall(handle); }

NTSTATUS WINAPI LhWaitForPendingRemovals() { return simhost::ReplacementWaitForRemovals(); }
