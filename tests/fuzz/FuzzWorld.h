// The stand-in world a sequence fuzz target runs a module in: one working
// folder for the whole run, the vessel classes the seeds name, and a host
// brought back to a new simulation for every input, with the vessel class
// modules kept loaded; a script played on it.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "FuzzScript.h"
#include "LoopbackPeer.h"
#include "SimHost.h"

namespace fuzz {

// Once per run, from LLVMFuzzerInitialize: a temporary working folder
// (removed at exit) becomes the current one (after KeepCallersPaths); the
// classes; and the host's own complaints about unknown classes kept off the
// fuzzer's output (a mutated class name would print a line per input).
void PrepareRun(int* argc, char*** argv);
// PrepareRun, then the target's peers (a Peers whose `all` lists them): a
// target whose peers could not bind stops at once.
template <class Peers>
Peers* PrepareRunWithPeers(int* argc, char*** argv, const char* target) {
    PrepareRun(argc, argv);
    auto* peers = new Peers();
    for (const LoopbackPeer* peer : peers->all) {
        if (peer->bound()) continue;
        std::fprintf(stderr, "%s: cannot bind the loopback peers\n", target);
        std::abort();
    }
    return peers;
}
simhost::Host& Host();
// Back to a new simulation at seeds::kMjd on the virtual clock, no modules
// loaded, no vessels.
void StartAfresh();
// One host step of `seconds` on the system clock, cut so that it is at most
// a minute of simulated time at the present time acceleration: the host
// propagates in steps of a second, and a long silence is a clock advance.
void StepHost(double seconds);
// StartAfresh, then `config` written to `configFile` and the module compiled
// into the target loaded as `moduleFile`, its globals (the send counter, the
// shared keyboard) as a fresh load of its library would have them. The
// module object it registered (null when none).
oapi::Module* LoadModule(const char* moduleFile, void (*initModule)(HINSTANCE), void (*exitModule)(HINSTANCE),
                         const char* configFile, const std::string& config);
// A vessel in orbit around Earth; the first one made takes the focus.
OBJHANDLE AddVessel(const char* name, const char* className, double radius);

// Plays a script on the host: each datagram event to `send`, host steps
// (StepHost) each followed by `afterStep`, clock advances, and keys typed on
// the host's keyboard (through the hook chain to the focus vessel), counted
// in `keysTyped` as they are typed.
void PlayScript(ScriptReader& script, const std::function<void(const ScriptEvent&)>& send,
                const std::function<void()>& afterStep, size_t& keysTyped);

}  // namespace fuzz
