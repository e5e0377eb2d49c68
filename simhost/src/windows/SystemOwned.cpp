// What the stand-ins keep for the host on POSIX and Windows keeps itself:
// keyboard hooks are the system's, and the modules' datagrams leave through
// Windows Sockets as they are sent. Nothing of the host's to forget or flush.
#include "platform/PlatformServices.h"

namespace simhost {

void KeyHooksClear() {}
void SocketsForgetAll() {}
void SocketsFlushSends() {}
SendRound::SendRound() = default;
SendRound::~SendRound() = default;

}  // namespace simhost
