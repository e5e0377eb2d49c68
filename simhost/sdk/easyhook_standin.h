// The function-replacement library's calls, provided by libsimhost.
//
// The host entries that can be replaced are the host's own (today
// VESSEL::SetAnimation). A replaced entry dispatches to the replacement only
// on threads of the inclusive list; a call of the entry from inside the
// replacement reaches the host's own function.
#pragma once

#include "win32_standin.h"

typedef int32_t NTSTATUS;

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

NTSTATUS LhInstallHook(void* entryPoint, void* hookProcedure, void* callback, TRACED_HOOK_HANDLE outHandle);
NTSTATUS LhUninstallHook(TRACED_HOOK_HANDLE handle);
NTSTATUS LhWaitForPendingRemovals();
// Thread identifier 0 in the list stands for the calling thread.
NTSTATUS LhSetInclusiveACL(ULONG* threadIds, ULONG threadCount, TRACED_HOOK_HANDLE handle);
