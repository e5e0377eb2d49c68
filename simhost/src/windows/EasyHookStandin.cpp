// EasyHook64.dll, the function-replacement library's stand-in on Windows: it
// exports the library's calls under their C names and passes them to the
// host program's replacement service, which acts on the host's replaceable
// entries (today VESSEL::SetAnimation).
#include <cstdint>
#include <cstring>

#include "platform/ReplacementService.h"

namespace {

// A DLL built with GCC gives a statically initialised pointer to an imported
// function the address of its import stub, "jmp qword ptr [rip+disp32]"
// (FF 25), rather than the function's own (an MSVC build reads the import
// table when it initialises it). The stub's jump leads to the host's entry.
void* BehindImportStub(void* entry) {
    if (entry == nullptr) return entry;
    const auto* code = static_cast<const uint8_t*>(entry);
    if (code[0] != 0xFF || code[1] != 0x25) return entry;
    int32_t displacement = 0;
    std::memcpy(&displacement, code + 2, sizeof displacement);
    void* target = nullptr;
    std::memcpy(&target, code + 6 + displacement, sizeof target);
    return target;
}

}  // namespace

NTSTATUS WINAPI LhInstallHook(void* entryPoint, void* hookProcedure, void* /*callback*/, TRACED_HOOK_HANDLE outHandle) {
    return simhost::ReplacementInstall(BehindImportStub(entryPoint), hookProcedure, outHandle);
}

NTSTATUS WINAPI LhSetInclusiveACL(ULONG* threadIds, ULONG threadCount, TRACED_HOOK_HANDLE handle) {
    return simhost::ReplacementSetThreads(threadIds, threadCount, handle);
}

NTSTATUS WINAPI LhUninstallHook(TRACED_HOOK_HANDLE handle) { return simhost::ReplacementUninstall(handle); }

NTSTATUS WINAPI LhWaitForPendingRemovals() { return simhost::ReplacementWaitForRemovals(); }
