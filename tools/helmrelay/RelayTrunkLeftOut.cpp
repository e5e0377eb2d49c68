// The relay of a build without the trunk (HELM_TRUNK off): zstd and
// libsodium are not there, so neither end can be had. Since Open() refuses
// every trunk, there is never an end for the other calls to serve.
#include "RelayTrunk.h"

struct RelayTrunk::Ends {};

RelayTrunk::RelayTrunk(RelayEvents&) : ends_(std::make_unique<Ends>()) {}

RelayTrunk::~RelayTrunk() = default;

bool RelayTrunk::Open(const TrunkSettings& settings, std::string& error) {
    if (settings.role == TrunkSettings::Role::kNone) return true;
    error =
        "this helmrelay was built without the trunk (it needs zstd and libsodium): --trunk, --trunk-listen and their "
        "configuration keys are not available";
    return false;
}

bool RelayTrunk::IsNear() const { return false; }

bool RelayTrunk::IsFar() const { return false; }

const UdpSocket* RelayTrunk::Socket() const { return nullptr; }

void RelayTrunk::OnMasterMessage(const uint8_t*, int, bool, double) {}

void RelayTrunk::PumpNear(double, const std::function<void(const uint8_t*, int)>&) {}

void RelayTrunk::PumpFar(double, MasterSubscription::Listener&) {}

double RelayTrunk::NextHello() const { return 1.0e300; }

void RelayTrunk::SendKeys(const uint8_t*, int) {}

TrunkFigures RelayTrunk::Figures() const { return TrunkFigures{}; }
