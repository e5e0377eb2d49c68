// Scripted key events for a run: "TIME:KEY[:up|:down|:tap][:alt]" descriptions,
// delivered to the host when the host's system time reaches them.
#pragma once

#include <string>
#include <vector>

#include "SimHost.h"

namespace simhost_app {

struct ScriptedKey {
    enum Action { Tap, Down, Up };
    double time = 0.0;  // host system seconds after the start of the run
    DWORD scanCode = 0;
    DWORD virtualKey = 0;
    Action action = Tap;
    bool alt = false;
};

// Parses one description. KEY is a letter, a single digit, or a scan code number of
// two or more characters (decimal, or hexadecimal with 0x: "30", "0x1E").
// The action defaults to tap. False (and a reason) for a bad description.
bool ParseKeySpec(const std::string& description, ScriptedKey& key, std::string& error);

// The virtual key code of a scan code on a US keyboard (letters and digits),
// or 0 when the stand-in does not know it.
DWORD VirtualKeyForScanCode(DWORD scanCode);

class KeyScript {
public:
    explicit KeyScript(std::vector<ScriptedKey> keys);

    // Delivers, in order, the releases of taps pressed on the previous call,
    // then every event due at `elapsed` seconds not delivered yet.
    void deliverDue(double elapsed, simhost::Host& host);
    bool finished() const { return next_ >= keys_.size() && pendingReleases_.empty(); }

private:
    std::vector<ScriptedKey> keys_;  // by time, ties in the order given
    size_t next_ = 0;
    std::vector<simhost::KeyEvent> pendingReleases_;
};

}  // namespace simhost_app
