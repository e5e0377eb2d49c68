// The stand-in world a sequence fuzz target runs a module in: one working
// folder for the whole run, the vessel classes the seeds name, and a host
// brought back to a new simulation for every input, with the vessel class
// modules kept loaded. Also the promises about the host that hold whatever
// a peer sent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "FuzzScript.h"
#include "SimHost.h"

namespace fuzz {

// Once per run, from LLVMFuzzerInitialize: a temporary working folder
// (removed at exit) becomes the current one, so the fuzzer's own paths are
// made absolute first (and crash inputs go to the caller's folder unless an
// artifact prefix is given); the classes; and the host's own complaints
// about unknown classes kept off the fuzzer's output (a mutated class name
// would print a line per input).
void PrepareRun(int* argc, char*** argv);
simhost::Host& Host();
// Back to a new simulation at seeds::kMjd on the virtual clock, no modules
// loaded, no vessels.
void StartAfresh();
// One host step of `seconds` on the system clock, cut so that it is at most
// a minute of simulated time at the present time acceleration: the host
// propagates in steps of a second, and a long silence is a clock advance.
void StepHost(double seconds);
void WriteConfig(const char* fileName, const std::string& text);
// A vessel in orbit around Earth; the first one made takes the focus.
OBJHANDLE AddVessel(const char* name, const char* className, double radius);

// Plays a script on the host: each datagram event to `send`, host steps
// (StepHost) each followed by `afterStep`, clock advances, and keys typed on
// the host's keyboard (through the hook chain to the focus vessel), counted
// in `keysTyped` as they are typed.
void PlayScript(ScriptReader& script, const std::function<void(const ScriptEvent&)>& send,
                const std::function<void()>& afterStep, size_t& keysTyped);
// The port a module's socket is bound to.
int LocalPort(SOCKET s);

// Every vessel's motion, the date and the time acceleration are numbers.
void RequireWorldFinite();
// Key events the vessels' buffered-key callbacks have received so far.
size_t KeysReceived();

// The largest key count a keyboard datagram of these bytes can make a
// receiver replay (0 when the bytes are no keyboard message).
int KeysCarried(const uint8_t* bytes, size_t length);
// Whether the bytes are the header-only message (Hello, Ack, End) `type`.
bool IsHeaderMessage(const uint8_t* bytes, size_t length, int32_t type);
int32_t SeqOf(const uint8_t* bytes, size_t length);

}  // namespace fuzz
