// Keys as a keyboard delivers them, for the tests that type.
#pragma once

#include "SimHost.h"

// The key of `scanCode` and `virtualKey`, pressed or released, Alt held or not.
inline simhost::KeyEvent Key(DWORD scanCode, DWORD virtualKey, bool down = true, bool alt = false) {
    return simhost::KeyEvent{scanCode, virtualKey, down, alt};
}
