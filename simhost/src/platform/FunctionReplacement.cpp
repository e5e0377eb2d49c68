// Function replacement with the library's semantics: a hook on a host entry
// applies to no thread until its inclusive list is set, then to exactly the
// listed threads; a call of the entry from inside its replacement reaches
// the host's own function.
#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <vector>

#include "PlatformServices.h"
#include "ReplacementService.h"

namespace simhost {
namespace {

constexpr NTSTATUS kStatusInvalidParameter = static_cast<NTSTATUS>(0xC000000D);
constexpr NTSTATUS kStatusInvalidParameter3 = static_cast<NTSTATUS>(0xC00000F1);
constexpr NTSTATUS kStatusInvalidParameter4 = static_cast<NTSTATUS>(0xC00000F2);
// The library keeps at most this many threads in a list.
constexpr ULONG kMaxAclThreads = 128;

struct Replacement {
    void* entry = nullptr;
    void* procedure = nullptr;
    bool aclSet = false;
    std::vector<DWORD> threads;
};

std::mutex replaceMutex;
std::condition_variable scopeEnded;
std::set<void*> replaceableEntries;
// Installed hooks by id; the id is what a handle's Link carries, so a
// removed hook's handle can never reach a newer one.
std::map<uintptr_t, Replacement> installed;
uintptr_t lastReplacementId = 0;
NTSTATUS failInstallsWith = STATUS_SUCCESS;
// Entries whose hook was removed while a thread may still run inside it.
std::multiset<void*> pendingRemovals;
// How many scopes are open on each entry, over all threads.
std::map<void*, int> openScopes;

// The entries this thread is inside the replacement of, innermost last.
thread_local std::vector<void*> scopesOfThisThread;
thread_local void* innermostScope = nullptr;

uintptr_t IdOf(TRACED_HOOK_HANDLE handle) { return reinterpret_cast<uintptr_t>(handle->Link); }

bool ThreadIsInside(void* entry) {
    return std::find(scopesOfThisThread.begin(), scopesOfThisThread.end(), entry) != scopesOfThisThread.end();
}

// Scopes on `entry` opened by threads other than the calling one.
int ScopesOfOthers(void* entry) {
    auto found = openScopes.find(entry);
    int all = found == openScopes.end() ? 0 : found->second;
    return all - static_cast<int>(std::count(scopesOfThisThread.begin(), scopesOfThisThread.end(), entry));
}

}  // namespace

void* ReplacementFor(void* entry) {
    if (entry == nullptr || innermostScope == entry || ThreadIsInside(entry)) return nullptr;
    const DWORD thread = GetCurrentThreadId();
    std::lock_guard<std::mutex> lock(replaceMutex);
    // The newest hook on the entry that applies to this thread wins.
    for (auto it = installed.rbegin(); it != installed.rend(); ++it) {
        const Replacement& replacement = it->second;
        if (replacement.entry != entry || !replacement.aclSet) continue;
        if (std::find(replacement.threads.begin(), replacement.threads.end(), thread) != replacement.threads.end())
            return replacement.procedure;
    }
    return nullptr;
}

ReplacementScope::ReplacementScope(void* entry) : entry_(entry), previous_(innermostScope) {
    scopesOfThisThread.push_back(entry);
    innermostScope = entry;
    std::lock_guard<std::mutex> lock(replaceMutex);
    ++openScopes[entry];
}

ReplacementScope::~ReplacementScope() {
    scopesOfThisThread.pop_back();
    innermostScope = previous_;
    {
        std::lock_guard<std::mutex> lock(replaceMutex);
        // The count stays at 0 rather than leaving: the entries are few, and
        // a scope per call must not cost an allocation per call.
        auto found = openScopes.find(entry_);
        if (found != openScopes.end() && found->second > 0) --found->second;
    }
    scopeEnded.notify_all();
}

void ReplaceableEntryAdd(void* entry) {
    std::lock_guard<std::mutex> lock(replaceMutex);
    if (entry != nullptr) replaceableEntries.insert(entry);
}

void ReplacementFailNextInstalls(NTSTATUS status) {
    std::lock_guard<std::mutex> lock(replaceMutex);
    failInstallsWith = status;
}

void ReplacementsClear() {
    std::lock_guard<std::mutex> lock(replaceMutex);
    installed.clear();
    replaceableEntries.clear();
    pendingRemovals.clear();
    failInstallsWith = STATUS_SUCCESS;
}

NTSTATUS ReplacementInstall(void* entryPoint, void* hookProcedure, TRACED_HOOK_HANDLE outHandle) {
    if (entryPoint == nullptr) return STATUS_INVALID_PARAMETER_1;
    if (hookProcedure == nullptr) return STATUS_INVALID_PARAMETER_2;
    if (outHandle == nullptr) return kStatusInvalidParameter4;
    std::lock_guard<std::mutex> lock(replaceMutex);
    if (failInstallsWith != STATUS_SUCCESS) return failInstallsWith;
    if (replaceableEntries.count(entryPoint) == 0) return STATUS_NOT_SUPPORTED;
    const uintptr_t id = ++lastReplacementId;
    Replacement replacement;
    replacement.entry = entryPoint;
    replacement.procedure = hookProcedure;
    installed.emplace(id, std::move(replacement));
    outHandle->Link = reinterpret_cast<PLOCAL_HOOK_INFO>(id);
    return STATUS_SUCCESS;
}

NTSTATUS ReplacementSetThreads(ULONG* threadIds, ULONG threadCount, TRACED_HOOK_HANDLE handle) {
    if (threadIds == nullptr && threadCount > 0) return STATUS_INVALID_PARAMETER_1;
    if (threadCount > kMaxAclThreads) return STATUS_INVALID_PARAMETER_2;
    if (handle == nullptr) return kStatusInvalidParameter3;
    const DWORD self = GetCurrentThreadId();
    std::lock_guard<std::mutex> lock(replaceMutex);
    auto found = installed.find(IdOf(handle));
    if (found == installed.end()) return kStatusInvalidParameter3;
    Replacement& replacement = found->second;
    replacement.threads.clear();
    for (ULONG i = 0; i < threadCount; ++i) replacement.threads.push_back(threadIds[i] == 0 ? self : threadIds[i]);
    replacement.aclSet = true;
    return STATUS_SUCCESS;
}

NTSTATUS ReplacementUninstall(TRACED_HOOK_HANDLE handle) {
    if (handle == nullptr) return kStatusInvalidParameter;
    std::lock_guard<std::mutex> lock(replaceMutex);
    auto found = installed.find(IdOf(handle));
    // Removing twice, or a hook never installed, changes nothing.
    if (found == installed.end()) return STATUS_SUCCESS;
    pendingRemovals.insert(found->second.entry);
    installed.erase(found);
    handle->Link = nullptr;
    return STATUS_SUCCESS;
}

NTSTATUS ReplacementWaitForRemovals() {
    std::unique_lock<std::mutex> lock(replaceMutex);
    scopeEnded.wait(lock, [] {
        return std::all_of(pendingRemovals.begin(), pendingRemovals.end(),
                           [](void* entry) { return ScopesOfOthers(entry) <= 0; });
    });
    pendingRemovals.clear();
    return STATUS_SUCCESS;
}

}  // namespace simhost
