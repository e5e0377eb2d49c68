// The relay's end of a trunk, if it has one: the near end beside the master
// (TrunkNear) or the far end beside the slaves (TrunkFar). The trunk needs
// zstd and libsodium; a build without them (HELM_TRUNK off, as the Windows
// build of the programs is) takes RelayTrunkLeftOut.cpp instead, whose
// Open() refuses a trunk with a sentence that says why.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "MasterSubscription.h"
#include "RelayEvents.h"
#include "TrunkFigures.h"
#include "TrunkSettings.h"
#include "UdpSocket.h"

class RelayTrunk {
public:
    explicit RelayTrunk(RelayEvents& events);
    ~RelayTrunk();
    RelayTrunk(const RelayTrunk&) = delete;
    RelayTrunk& operator=(const RelayTrunk&) = delete;

    // Nothing for Role::kNone. False with a sentence in `error` when the end
    // cannot be had.
    bool Open(const TrunkSettings& settings, std::string& error);
    bool IsNear() const;
    bool IsFar() const;
    // Null without a trunk.
    const UdpSocket* Socket() const;

    // Near end: every new datagram of the master; then, each turn, what the
    // far end sent (key messages to `keysUp`), time-outs and reports.
    void OnMasterMessage(const uint8_t* datagram, int length, bool fresh, double now);
    void PumpNear(double now, const std::function<void(const uint8_t*, int)>& keysUp);

    // Far end: the trunk is the master (see TrunkFar).
    void PumpFar(double now, MasterSubscription::Listener& listener);
    double NextHello() const;
    void SendKeys(const uint8_t* message, int length);

    TrunkFigures Figures() const;

private:
    struct Ends;
    std::unique_ptr<Ends> ends_;
};
