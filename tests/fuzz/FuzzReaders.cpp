#include "FuzzReaders.h"

namespace fuzz {

namespace {

double Read(VesselMessage& m) {
    RequireName(m.record().vesselName);
    RequireName(m.record().className);
    RequireName(m.record().rbodyName);
    RequireName(m.record().baseName);
    Require(std::isfinite(m.record().mjd));
    RequireFinite(m.status.rpos);
    RequireFinite(m.status.rvel);
    return m.status.rpos.x + strlen(m.record().vesselName);
}

double Read(Vessel2Message& m) {
    const wire::Vessel2Record& r = m.record();
    RequireName(r.vesselName);
    RequireName(r.className);
    RequireName(r.rbodyName);
    RequireName(r.baseName);
    Require(std::isfinite(r.mjd));
    RequireFinite(m.status2.rpos);
    RequireFinite(m.status2.rvel);
    Require(m.status2.nfuel <= wire::kMaxPropellants && m.status2.nthruster <= wire::kMaxThrusters &&
            m.status2.ndockinfo <= wire::kMaxDocks);
    Require(m.status2.fuel == m.fuel && m.status2.thruster == m.thrusters && m.status2.dockinfo == m.docks);
    double sum = 0;
    for (DWORD i = 0; i < m.status2.nfuel; ++i) sum += m.status2.fuel[i].level + r.fuelLevels[i].idx;
    for (DWORD i = 0; i < m.status2.nthruster; ++i) sum += m.status2.thruster[i].level + r.thrusterLevels[i].idx;
    for (DWORD i = 0; i < m.status2.ndockinfo; ++i) {
        RequireName(r.dockVesselNames[i]);
        // A zero docked handle on the wire never becomes a local vessel.
        if (r.dockInfo[i].rvessel == 0) Require(m.status2.dockinfo[i].rvessel == nullptr);
        sum += m.status2.dockinfo[i].idx + strlen(r.dockVesselNames[i]);
    }
    if (r.status2.rbody == 0) Require(m.status2.rbody == nullptr);
    if (r.status2.base == 0) Require(m.status2.base == nullptr);
    return sum;
}

double Read(VesselStateMessage& m, int length) {
    const wire::VesselStateRecord& r = m.record();
    RequireName(r.vesselName);
    Require(std::isfinite(r.mjd));
    Require(r.textLength >= 0 && r.textLength <= wire::kMaxText && r.textLength + 56 == length);
    double sum = 0;
    for (int32_t i = 0; i < r.textLength; ++i) sum += static_cast<unsigned char>(r.text[i]);
    return sum;
}

double Read(AnimationMessage& m) {
    RequireName(m.record().vesselName);
    Require(m.record().animCount >= 0 && m.record().animCount <= wire::kMaxAnimations);
    double sum = 0;
    for (int32_t i = 0; i < m.record().animCount; ++i) sum += m.record().animStates[i];
    return sum;
}

double Read(KeyboardMessage& m) {
    Require(m.record().keyCount >= 0 && m.record().keyCount <= wire::kMaxKeys);
    sharedKeyboard.Replay(m);
    double sum = 0;
    for (int32_t i = 0; i < m.record().keyCount; ++i) sum += m.record().keys[i].keyFlags;
    return sum;
}

double Read(StartMessage& m) {
    Require(std::isfinite(m.record().mjd) && std::isfinite(m.record().timeAccel) && std::isfinite(m.record().simStep));
    return m.record().mjd;
}

}  // namespace

double ReadLikeADispatch(Message& message, int length) {
    Require(message.size() == length);
    if (auto* m = dynamic_cast<VesselMessage*>(&message)) return Read(*m);
    if (auto* m = dynamic_cast<Vessel2Message*>(&message)) return Read(*m);
    if (auto* m = dynamic_cast<VesselStateMessage*>(&message)) return Read(*m, length);
    if (auto* m = dynamic_cast<AnimationMessage*>(&message)) return Read(*m);
    if (auto* m = dynamic_cast<KeyboardMessage*>(&message)) return Read(*m);
    if (auto* m = dynamic_cast<StartMessage*>(&message)) return Read(*m);
    if (auto* m = dynamic_cast<AirfoilMessage*>(&message)) {
        RequireName(m->record().vesselName);
        return m->record().surfaceLevels[5];
    }
    if (auto* m = dynamic_cast<XRMessage*>(&message)) {
        RequireName(m->record().vesselName);
        Require(m->xrValid);
        return m->record().xrValue;
    }
    if (auto* m = dynamic_cast<FocusMessage*>(&message)) {
        RequireName(m->record().vesselName);
        return static_cast<double>(strlen(m->record().vesselName));
    }
    if (auto* m = dynamic_cast<VesselExtraMessage*>(&message)) {
        RequireName(m->record().vesselName);
        return m->record().navChannels[15];
    }
    return message.type();
}

}  // namespace fuzz
