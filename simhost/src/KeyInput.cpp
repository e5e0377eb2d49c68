// Key input through the stand-in's keyboard hook chain: the event passes the
// installed hooks at once, then reaches the focus vessel.
#include "platform/PlatformServices.h"
#include "World.h"

namespace simhost {

void TypeKey(const KeyEvent& key) {
    RecordKeyState(key.scanCode, key.down);
    if (KeyHooksDeliver(HC_ACTION, key.virtualKey, Host::keyFlags(key))) return;
    DeliverKeyToFocus(key.scanCode, key.down);
}

void PumpKeyInput() {}

}  // namespace simhost
