// The one-line debug string the host shows on screen; modules write into it.
#include "PlatformServices.h"

namespace simhost {

char* DebugStringBuffer() {
    static char buffer[256] = {};
    return buffer;
}

}  // namespace simhost

char* oapiDebugString() { return simhost::DebugStringBuffer(); }
