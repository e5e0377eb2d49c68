// What the platform stand-ins (Win32, sockets, hooks, function replacement,
// clock, files) offer the rest of libsimhost. Internal to libsimhost.
#pragma once

#include <string>

#include "OrbiterAPI.h"
#include "easyhook_standin.h"  // NTSTATUS

namespace simhost {

// ---- Host system clock (oapiGetSysTime, Sleep) ----
void ClockUseVirtual(bool on, double start);
bool ClockIsVirtual();
double ClockNow();             // virtual seconds, or real seconds since an arbitrary origin
void ClockSet(double t);       // virtual only
bool ClockAdvance(double dt);  // virtual only; true when the clock is virtual

// ---- Module libraries: plug-ins and vessel class modules ----
// The file name extension of a module library here (".so", ".dll").
const char* ModuleFileExtension();
// Loads a library; null (and the reason in `error`) when it cannot.
void* LibraryOpen(const std::string& path, std::string& error);
void* LibrarySymbol(void* library, const char* name);
void LibraryClose(void* library);

// ---- Modules loaded by the host (GetModuleHandleA, GetProcAddress) ----
// `handle` is what LibraryOpen returned, or null for a module compiled into
// the program (then symbols are looked up in the program itself). Returns
// the handle the module is given; on Windows, where the system keeps its
// own list, that is the library's own.
HMODULE ModuleRegistryAdd(const std::string& fileName, void* handle);
void ModuleRegistryRemove(HMODULE module);
void ModuleRegistryClear();

// ---- Keyboard hook chain (the stand-in's; Windows has its own) ----
// Passes one event through the installed hooks (newest first). True when a
// hook swallowed it (returned non-zero), as Windows does.
bool KeyHooksDeliver(int code, WPARAM wParam, LPARAM lParam);
void KeyHooksClear();

// ---- Function replacement ----
// The replacement installed for `entry` that applies to the calling thread,
// or null; a thread already inside a replacement of `entry` gets null, so
// that its call reaches the host's own function.
void* ReplacementFor(void* entry);
// Marks the calling thread as inside the replacement of `entry`.
class ReplacementScope {
public:
    explicit ReplacementScope(void* entry);
    ~ReplacementScope();
    ReplacementScope(const ReplacementScope&) = delete;
    ReplacementScope& operator=(const ReplacementScope&) = delete;

private:
    void* entry_;
    void* previous_;
};
// Host entries that may be replaced; anything else is refused.
void ReplaceableEntryAdd(void* entry);
// Test switch: make the next installs fail with this status (0: succeed).
void ReplacementFailNextInstalls(NTSTATUS status);
void ReplacementsClear();

// ---- Files and path roots ----
void FilesSetRoot(const std::string& rootDir);  // "" = current directory
std::string FilesPath(const std::string& name, PathRoot root);
void FilesCloseAll();

// ---- Sockets (the stand-in's; on Windows the modules use Windows') ----
void SocketsForgetAll();  // drops queued datagrams of every socket
// Datagrams sent during a host callback round may wait and leave in batches
// (one system call each); a receive on any socket, a close, a full batch and
// the end of the outermost round send them, in the order they were sent.
// HELM_SEND_BATCHING=0 in the environment sends each one at once.
class SendRound {
public:
    SendRound();
    ~SendRound();
    SendRound(const SendRound&) = delete;
    SendRound& operator=(const SendRound&) = delete;
};
void SocketsFlushSends();
// What FIONREAD counts on a datagram socket: Windows' bytes of all queued
// datagrams (the default), or, as Linux and Wine do, the size of the first
// one. SIMHOST_FIONREAD=first-datagram in the environment chooses the
// latter for a whole process (tests, simhost runs); modules must work with
// either.
enum class PendingCount { kAllQueuedBytes, kFirstDatagram };
void SocketsSetPendingCount(PendingCount meaning);
PendingCount SocketsPendingCount();

// ---- Debug string ----
char* DebugStringBuffer();  // 256 bytes

}  // namespace simhost
