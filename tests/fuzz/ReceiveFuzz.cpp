// libFuzzer target of the receive path: any byte string, taken as one
// datagram, either gives no message or a message every reader can trust.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "FuzzReaders.h"
#include "SimHost.h"
#include "TestVessels.h"

namespace {

// A host with the objects a datagram may name, and a focus vessel for
// replayed keys.
void SetUpHost() {
    simhost::Host::instance().reset();
    simhost::GenericClassSpec shipClass;
    shipClass.dockPorts = 2;
    simhost::RegisterGenericClass("FuzzShip", shipClass);
    for (const char* name : {"Alpha", "Beta"}) {
        OBJHANDLE vessel = CreateVesselAt(name, "FuzzShip", _V(7.0e6, 0.0, 0.0), _V(0.0, 7.5e3, 0.0));
        if (vessel != nullptr) oapiSetFocusObject(vessel);
    }
}

// The host's vessels are gone before the leak check at exit runs.
void TearDownHost() { simhost::Host::instance().reset(); }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SetUpHost();
    std::atexit(TearDownHost);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Larger inputs cannot arrive in one datagram.
    if (size > static_cast<size_t>(wire::kMaxDatagram)) return 0;
    const int length = static_cast<int>(size);
    std::unique_ptr<Message> message(CreateMessage(data, length));
    if (message == nullptr) return 0;
    volatile double sink = fuzz::ReadLikeADispatch(*message, length);
    (void)sink;
    return 0;
}
