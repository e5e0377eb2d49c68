// The stand-in of Win32's Sleep: it advances the host's virtual clock
// instead of waiting when the host runs on it (tests).
#include <time.h>

#include <cerrno>

#include "PlatformServices.h"

void Sleep(DWORD milliseconds) {
    // Whatever a module sent before it waits has left by then.
    simhost::SocketsFlushSends();
    if (simhost::ClockAdvance(static_cast<double>(milliseconds) / 1000.0)) return;
    // A wait must not disturb the last socket error a module may read next.
    const int savedErrno = errno;
    timespec wait{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    // Resume after a signal with the time that is left.
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
    errno = savedErrno;
}
