// Windows Sockets start-up and error numbers. Errors are taken from errno,
// so that failures of the platform's own socket calls the modules make
// directly (socket, bind) read as their Windows numbers too.
#include <cerrno>
#include <cstring>

#include "win32_standin.h"

namespace {

int WindowsErrorFor(int error) {
    switch (error) {
        case EINTR:
            return WSAEINTR;
        case EACCES:
            return WSAEACCES;
        case EFAULT:
            return WSAEFAULT;
        case EINVAL:
            return WSAEINVAL;
        case EMFILE:
            return WSAEMFILE;
        case EWOULDBLOCK:
            return WSAEWOULDBLOCK;
#if EAGAIN != EWOULDBLOCK
        case EAGAIN:
            return WSAEWOULDBLOCK;
#endif
        case EBADF:
        case ENOTSOCK:
            return WSAENOTSOCK;
        case EMSGSIZE:
            return WSAEMSGSIZE;
        case EPROTONOSUPPORT:
            return WSAEPROTONOSUPPORT;
        case EOPNOTSUPP:
            return WSAEOPNOTSUPP;
        case EAFNOSUPPORT:
            return WSAEAFNOSUPPORT;
        case EADDRINUSE:
            return WSAEADDRINUSE;
        case EADDRNOTAVAIL:
            return WSAEADDRNOTAVAIL;
        case ENETDOWN:
            return WSAENETDOWN;
        case ENETUNREACH:
            return WSAENETUNREACH;
        case ECONNRESET:
        case ECONNREFUSED:
            return WSAECONNRESET;
        case ENOBUFS:
            return WSAENOBUFS;
        case ENOTCONN:
            return WSAENOTCONN;
        case EHOSTUNREACH:
            return WSAEHOSTUNREACH;
        default:
            return error;  // no Windows counterpart: the number as it is
    }
}

}  // namespace

int WSAStartup(WORD version, LPWSADATA data) {
    if (data == nullptr) return WSAEFAULT;
    std::memset(data, 0, sizeof *data);
    const WORD highest = MAKEWORD(2, 2);
    const int major = version & 0xFF;
    const int minor = version >> 8;
    data->wVersion = major > 2 || (major == 2 && minor > 2) ? highest : version;
    data->wHighVersion = highest;
    std::strncpy(data->szDescription, "simhost sockets", sizeof data->szDescription - 1);
    std::strncpy(data->szSystemStatus, "Running", sizeof data->szSystemStatus - 1);
    return 0;
}

int WSACleanup() { return 0; }

int WSAGetLastError() { return WindowsErrorFor(errno); }
