// The Win32 and Windows Sockets calls the modules make, provided by
// libsimhost on POSIX with their Windows meaning.
//
// Sockets: SOCKET values are the platform's descriptors, so socket(), bind(),
// htons() and friends are the platform's own. The calls whose Windows meaning
// differs are declared here with their Windows signatures; they overload the
// platform's C functions of the same name (different parameter types), and a
// call with Windows argument types picks them.
//
// On Windows (the stand-in host's Windows build) these are Windows' own: the
// real headers, and the system's libraries behind them.
#pragma once

#ifdef _WIN32
// The Windows SDK's windows.h defines min and max as macros, which breaks
// std::min(a, b); Windows Sockets 2 must come before windows.h.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#else

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>

#define WINAPI
#define CALLBACK
#define APIENTRY

typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef int BOOL;
typedef unsigned char BYTE;
typedef uint16_t WORD;
typedef unsigned int UINT;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef const char* LPCSTR;
typedef char* LPSTR;
typedef void* LPVOID;
typedef DWORD* LPDWORD;

struct HINSTANCE__;
typedef HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;
struct HHOOK__;
typedef HHOOK__* HHOOK;
typedef LRESULT(CALLBACK* HOOKPROC)(int code, WPARAM wParam, LPARAM lParam);
typedef intptr_t(WINAPI* FARPROC)();

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#define MAX_PATH 260

#define WH_KEYBOARD 2
#define HC_ACTION 0
#define HC_NOREMOVE 3

struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};

// Sleep advances the host's virtual clock instead of waiting when the host
// runs on it (tests), so a module's bounded waits cost no real time there.
void Sleep(DWORD milliseconds);
void GetLocalTime(SYSTEMTIME* time);
DWORD GetCurrentThreadId();
DWORD GetCurrentProcessId();
// Modules the host has loaded, found by file name with or without its
// extension (".dll" and the platform's own are both accepted), ignoring case.
HMODULE GetModuleHandleA(LPCSTR moduleName);
FARPROC GetProcAddress(HMODULE module, LPCSTR symbolName);
DWORD GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer);
BOOL DeleteFileA(LPCSTR path);

// Keyboard hooks: a chain that every key event the host delivers passes
// through, newest hook first, before it reaches the focus vessel.
HHOOK SetWindowsHookExA(int hookType, HOOKPROC procedure, HINSTANCE module, DWORD threadId);
LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam);
BOOL UnhookWindowsHookEx(HHOOK hook);

inline int _stricmp(const char* a, const char* b) { return strcasecmp(a, b); }

// ---- Windows Sockets ----
typedef uintptr_t SOCKET;
#define INVALID_SOCKET (~static_cast<SOCKET>(0))
#define SOCKET_ERROR (-1)
#define MAKEWORD(low, high) \
    static_cast<WORD>((static_cast<BYTE>(low)) | (static_cast<WORD>(static_cast<BYTE>(high)) << 8))

struct WSADATA {
    WORD wVersion;
    WORD wHighVersion;
    char szDescription[257];
    char szSystemStatus[129];
    unsigned short iMaxSockets;
    unsigned short iMaxUdpDg;
    char* lpVendorInfo;
};
typedef WSADATA* LPWSADATA;
typedef struct sockaddr SOCKADDR;
typedef struct sockaddr_in SOCKADDR_IN;

// Windows' socket option for a port bound by one socket alone. POSIX binds
// are exclusive unless both sockets ask to share, so the stand-in takes it
// and does nothing.
#define SO_EXCLUSIVEADDRUSE (~SO_REUSEADDR)

// Windows' control code: switch off the reporting of ICMP port-unreachable
// replies as connection resets on later receives.
#define SIO_UDP_CONNRESET 0x9800000Cu

// Windows error numbers, as WSAGetLastError reports them.
#define WSAEINTR 10004
#define WSAEBADF 10009
#define WSAEACCES 10013
#define WSAEFAULT 10014
#define WSAEINVAL 10022
#define WSAEMFILE 10024
#define WSAEWOULDBLOCK 10035
#define WSAENOTSOCK 10038
#define WSAEMSGSIZE 10040
#define WSAEPROTONOSUPPORT 10043
#define WSAEOPNOTSUPP 10045
#define WSAEAFNOSUPPORT 10047
#define WSAEADDRINUSE 10048
#define WSAEADDRNOTAVAIL 10049
#define WSAENETDOWN 10050
#define WSAENETUNREACH 10051
#define WSAECONNRESET 10054
#define WSAENOBUFS 10055
#define WSAENOTCONN 10057
#define WSAEHOSTUNREACH 10065
#define WSANOTINITIALISED 10093

int WSAStartup(WORD version, LPWSADATA data);
int WSACleanup();
int WSAGetLastError();
int closesocket(SOCKET s);
// FIONREAD reports the bytes of all queued datagrams, as on Windows (the
// platform reports only the next one), unless the host is switched to the
// platform's meaning (SIMHOST_FIONREAD=first-datagram).
int ioctlsocket(SOCKET s, long command, u_long* argument);
int WSAIoctl(SOCKET s, DWORD controlCode, LPVOID inBuffer, DWORD inLength, LPVOID outBuffer, DWORD outLength,
             LPDWORD bytesReturned, void* overlapped, void* completionRoutine);
int recvfrom(SOCKET s, char* buffer, int length, int flags, struct sockaddr* from, int* fromLength);
int sendto(SOCKET s, const char* buffer, int length, int flags, const struct sockaddr* to, int toLength);
int setsockopt(SOCKET s, int level, int option, const char* value, int valueLength);
int getsockname(SOCKET s, struct sockaddr* name, int* nameLength);
// Readiness of several sockets (POLLRDNORM, POLLWRNORM; the platform's
// values). A socket whose datagrams the stand-in already holds (see
// FIONREAD) is readable; an entry whose socket is INVALID_SOCKET is left out.
struct WSAPOLLFD {
    SOCKET fd;
    short events;
    short revents;
};
typedef WSAPOLLFD* LPWSAPOLLFD;
int WSAPoll(LPWSAPOLLFD fdArray, ULONG fds, int timeout);

#endif  // _WIN32
