// The function-replacement library's calls, provided by libsimhost (on
// Windows by the library's stand-in DLL, which passes them to the host).
//
// The host entries that can be replaced are the host's own (today
// VESSEL::SetAnimation). A replaced entry dispatches to the replacement only
// on threads of the inclusive list; a call of the entry from inside the
// replacement reaches the host's own function.
#pragma once

#include "win32_standin.h"

#ifdef _WIN32
// Exported by the library's stand-in DLL (EasyHook64.dll) under the library's
// own C names, as the real library exports them.
typedef LONG NTSTATUS;
#ifdef SIMHOST_BUILDING_EASYHOOK
#define EASYHOOK_STANDIN_API extern "C" __declspec(dllexport)
#else
#define EASYHOOK_STANDIN_API extern "C" __declspec(dllimport)
#endif
#else
typedef int32_t NTSTATUS;
#define EASYHOOK_STANDIN_API
#endif

struct LOCAL_HOOK_INFO;
typedef LOCAL_HOOK_INFO* PLOCAL_HOOK_INFO;

struct HOOK_TRACE_INFO {
    PLOCAL_HOOK_INFO Link;
};
typedef HOOK_TRACE_INFO* TRACED_HOOK_HANDLE;

#define STATUS_SUCCESS 0
#define STATUS_INVALID_PARAMETER_1 static_cast<NTSTATUS>(0xC00000EF)
#define STATUS_INVALID_PARAMETER_2 static_cast<NTSTATUS>(0xC00000F0)
#define STATUS_NOT_SUPPORTED static_cast<NTSTATUS>(0xC00000BB)

EASYHOOK_STANDIN_API NTSTATUS WINAPI LhInstallHook(void* entryPoint, void* hookProcedure, void* callback,
                                                   TRACED_HOOK_HANDLE outHandle);
EASYHOOK_STANDIN_API NTSTATUS WINAPI LhUninstallHook(TRACED_HOOK_HANDLE handle);
EASYHOOK_STANDIN_API NTSTATUS WINAPI LhWaitForPendingRemovals();
// Thread identifier 0 in the list stands for the calling thread.
EASYHOOK_STANDIN_API NTSTATUS WINAPI LhSetInclusiveACL(ULONG* threadIds, ULONG threadCount, TRACED_HOOK_HANDLE handle);
