// The one place that chooses the host's and the platform's headers: the real
// Windows, Windows Sockets, host SDK and function-replacement headers on
// Windows, the stand-ins of simhost/sdk everywhere else. Module code includes
// this and nothing platform-specific.
//
// The stand-in host's Windows build (HELM_STANDIN_HOST, simhost.exe under
// Wine) takes Windows' own headers and libraries too, with simhost/sdk's
// stand-ins of the host's API and of the function-replacement library.
#pragma once

#ifdef _WIN32
// The Windows SDK's windows.h defines min and max as macros, also for C++
// (mingw-w64's only for C), which breaks std::min(a, b) in module code.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <mstcpip.h>
#include "Orbitersdk.h"
#ifdef HELM_STANDIN_HOST
#include "easyhook_standin.h"
#else
// easyhook.h sets the Windows version macros for a windows.h that is already
// in: let it, without a redefinition, and keep the values windows.h saw.
#pragma push_macro("NTDDI_VERSION")
#pragma push_macro("_WIN32_WINNT")
#undef NTDDI_VERSION
#undef _WIN32_WINNT
#include "easyhook.h"
#pragma pop_macro("_WIN32_WINNT")
#pragma pop_macro("NTDDI_VERSION")
#endif
// The Windows SDK's mstcpip.h defines this; older mingw-w64 headers (the
// cross-compile check's) do not.
#ifndef SIO_UDP_CONNRESET
#define SIO_UDP_CONNRESET _WSAIOW(IOC_VENDOR, 12)
#endif
#define HELM_EXPORT extern "C" __declspec(dllexport)
#define HELM_PRINTF(formatIndex, firstArgument)
#else
#include "Orbitersdk.h"
#include "easyhook_standin.h"
#include "win32_standin.h"
#define HELM_EXPORT extern "C" __attribute__((visibility("default")))
#define HELM_PRINTF(formatIndex, firstArgument) __attribute__((format(printf, formatIndex, firstArgument)))
#endif

#include <cstring>

// The project's own declaration of the XR interface, in a folder of its own
// (simhost/sdk/xr): its #include "VesselAPI.h" finds the SDK's on Windows.
#include "XRVesselCtrl.h"

// The code address of a non-virtual member function, as the function
// replacement library takes it. Both ABIs in use keep it in the first word of
// the member pointer.
template <class MemberFunction>
void* MemberFunctionAddress(MemberFunction function) {
    static_assert(sizeof(MemberFunction) >= sizeof(void*), "member pointer holds a code address");
    void* address = nullptr;
    std::memcpy(&address, &function, sizeof address);
    return address;
}
