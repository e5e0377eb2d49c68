// Updates as a master sends them, made here: vessels on circular orbits
// (position and velocity move as the date does), a scenario text whose
// numbers change length, and an optional text far larger than a trunk
// datagram. Numbered as the master numbers them.
#pragma once

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "TrunkFormat.h"
#include "WireRecords.h"

namespace trunktest {

using trunk::Bytes;

template <typename Record>
Bytes AsBytes(const Record& record) {
    Bytes bytes(sizeof(Record), 0);
    std::memcpy(bytes.data(), &record, sizeof(Record));
    return bytes;
}

class UpdateMaker {
public:
    explicit UpdateMaker(int vessels, int largeText = 0) : vessels_(vessels), largeText_(largeText) {}

    // The next update, 1/25 s of simulation after the last.
    std::vector<Bytes> next() {
        mjd_ += 0.04 / 86400.0;
        std::vector<Bytes> update;
        wire::StartRecord start{};
        start.header.type = wire::kStart;
        start.mjd = mjd_;
        start.timeAccel = 1.0;
        start.simStep = 0.0166;
        update.push_back(AsBytes(start));
        for (int v = 0; v < vessels_; ++v) {
            const double radius = 6.7e6 + 1.0e5 * v;
            const double rate = std::sqrt(3.986e14 / (radius * radius * radius));
            const double angle = rate * mjd_ * 86400.0 + v;
            wire::Vessel2Record vessel{};
            vessel.header.type = wire::kVessel2;
            vessel.mjd = mjd_;
            std::snprintf(vessel.vesselName, sizeof vessel.vesselName, "V%03d", v);
            std::snprintf(vessel.className, sizeof vessel.className, "Shuttle2");
            vessel.status2.version = 2;
            vessel.status2.rpos = {radius * std::cos(angle), radius * std::sin(angle), 0.0};
            vessel.status2.rvel = {-radius * rate * std::sin(angle), radius * rate * std::cos(angle), 0.0};
            update.push_back(AsBytes(vessel));
            const std::string text = "STATUS Orbiting Earth\nRPOS " + std::to_string(vessel.status2.rpos.x) + " " +
                                     std::to_string(vessel.status2.rpos.y) + " 0\nAROT 0 90 0\nLIGHTS 1\n";
            update.push_back(Text(vessel.vesselName, text));
        }
        if (largeText_ > 0) {
            std::string text(largeText_, 'x');
            // Different each update, and no run of it repeats: it compresses badly.
            for (size_t i = 0; i < text.size(); ++i)
                text[i] = static_cast<char>('a' + (i * 7919 + step_ * 31) % 26 + (i % 3));
            update.push_back(Text("Large", text));
        }
        wire::HeaderRecord end{};
        end.header.type = wire::kEnd;
        update.push_back(AsBytes(end));
        for (Bytes& message : update) {
            std::memcpy(message.data() + 4, &seq_, sizeof seq_);
            ++seq_;
        }
        ++step_;
        return update;
    }

private:
    static Bytes Text(const char* name, const std::string& text) {
        wire::VesselStateRecord record{};
        record.header.type = wire::kVesselState;
        std::snprintf(record.vesselName, sizeof record.vesselName, "%s", name);
        record.textLength = static_cast<int32_t>(text.size());
        Bytes bytes(wire::kVesselStateFixedSize + text.size(), 0);
        std::memcpy(bytes.data(), &record, wire::kVesselStateFixedSize);
        std::memcpy(bytes.data() + wire::kVesselStateFixedSize, text.data(), text.size());
        return bytes;
    }

    int vessels_;
    int largeText_;
    double mjd_ = 60000.5;
    int32_t seq_ = 100;
    int step_ = 0;
};

}  // namespace trunktest
