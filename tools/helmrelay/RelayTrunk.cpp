#include "RelayTrunk.h"

#include "TrunkFar.h"
#include "TrunkNear.h"

struct RelayTrunk::Ends {
    RelayEvents& events;
    std::unique_ptr<TrunkNear> near;
    std::unique_ptr<TrunkFar> far;
};

RelayTrunk::RelayTrunk(RelayEvents& events) : ends_(std::make_unique<Ends>(Ends{events, nullptr, nullptr})) {}

RelayTrunk::~RelayTrunk() = default;

bool RelayTrunk::Open(const TrunkSettings& settings, std::string& error) {
    switch (settings.role) {
        case TrunkSettings::Role::kNone:
            return true;
        case TrunkSettings::Role::kNear:
            ends_->near = std::make_unique<TrunkNear>(ends_->events);
            return ends_->near->Open(settings, error);
        case TrunkSettings::Role::kFar:
            ends_->far = std::make_unique<TrunkFar>(ends_->events);
            return ends_->far->Open(settings, error);
    }
    return true;
}

bool RelayTrunk::IsNear() const { return ends_->near != nullptr; }

bool RelayTrunk::IsFar() const { return ends_->far != nullptr; }

const UdpSocket* RelayTrunk::Socket() const {
    if (ends_->near) return &ends_->near->Socket();
    if (ends_->far) return &ends_->far->Socket();
    return nullptr;
}

void RelayTrunk::OnMasterMessage(const uint8_t* datagram, int length, bool fresh, double now) {
    if (ends_->near) ends_->near->OnMasterMessage(datagram, length, fresh, now);
}

void RelayTrunk::PumpNear(double now, const std::function<void(const uint8_t*, int)>& keysUp) {
    if (!ends_->near) return;
    ends_->near->Pump(now, keysUp);
    ends_->near->Tick(now);
}

void RelayTrunk::PumpFar(double now, MasterSubscription::Listener& listener) {
    if (ends_->far) ends_->far->Pump(now, listener);
}

double RelayTrunk::NextHello() const { return ends_->far ? ends_->far->NextHello() : 1.0e300; }

void RelayTrunk::SendKeys(const uint8_t* message, int length) {
    if (ends_->far) ends_->far->SendKeys(message, length);
}

TrunkFigures RelayTrunk::Figures() const {
    if (ends_->near) return ends_->near->Figures();
    if (ends_->far) return ends_->far->Figures();
    return TrunkFigures{};
}
