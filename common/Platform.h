// The one place that chooses the host's and the platform's headers: the real
// Windows, Windows Sockets, host SDK and function-replacement headers on
// Windows, the stand-ins of simhost everywhere else. Module code includes
// this and nothing platform-specific.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <mstcpip.h>
#include "Orbitersdk.h"
#include "easyhook.h"
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
