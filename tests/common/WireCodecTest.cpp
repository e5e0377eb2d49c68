// Host records to wire records and back: handles, names, list capacities.
#include <vector>

#include "CommonTestSupport.h"
#include "WireCodec.h"

namespace {

class WireCodec : public helmtest::HostTest {};

void* Handle(uint64_t value) { return reinterpret_cast<void*>(static_cast<uintptr_t>(value)); }

TEST_F(WireCodec, HandlesTravelNonZeroWhenNonZero) {
    EXPECT_EQ(0u, wire::HandleToWire(nullptr));
    EXPECT_EQ(0x1234u, wire::HandleToWire(Handle(0x1234)));
    if (sizeof(void*) == 8) {
        // Low half zero, and halves that cancel when folded.
        EXPECT_NE(0u, wire::HandleToWire(Handle(0x100000000ull)));
        EXPECT_NE(0u, wire::HandleToWire(Handle(0x0000555500005555ull)));
        EXPECT_NE(wire::HandleToWire(Handle(0x7F0000001000ull)), wire::HandleToWire(Handle(0x7F0000002000ull)));
    }
}

TEST_F(WireCodec, NamesAreCutAt31AndZeroFilled) {
    wire::Name field;
    std::memset(field, 'x', sizeof field);
    wire::CopyName(field, "Short");
    EXPECT_STREQ("Short", field);
    for (size_t i = 5; i < sizeof field; ++i) EXPECT_EQ(0, field[i]) << i;

    const std::string longName(40, 'L');
    wire::CopyName(field, longName.c_str());
    EXPECT_EQ(std::string(31, 'L'), std::string(field));
    EXPECT_EQ(0, field[31]);

    const std::string exact(31, 'E');
    wire::CopyName(field, exact.c_str());
    EXPECT_EQ(exact, std::string(field));

    wire::CopyName(field, nullptr);
    EXPECT_STREQ("", field);
}

TEST_F(WireCodec, StatusKeepsEveryFieldAndNamesItsObjects) {
    VESSELSTATUS in;
    std::memset(static_cast<void*>(&in), 0, sizeof in);
    in.rpos = _V(1, 2, 3);
    in.rvel = _V(4, 5, 6);
    in.arot = _V(0.1, 0.2, 0.3);
    in.fuel = 0.5;
    in.rbody = oapiGetObjectByName(const_cast<char*>("Moon"));
    in.base = oapiGetObjectByName(const_cast<char*>("Crater"));
    ASSERT_NE(nullptr, in.rbody);
    ASSERT_NE(nullptr, in.base);
    in.status = 1;
    in.vdata[0] = _V(23.5, 0.7, 1.0);
    in.fdata[3] = 9.0;
    in.flag[9] = 0xFFFFFFFFu;
    wire::VesselRecord out;
    std::memset(&out, 0xAB, sizeof out);
    wire::EncodeVessel(in, out);
    EXPECT_STREQ("Moon", out.rbodyName);
    EXPECT_STREQ("Crater", out.baseName);
    EXPECT_NE(0u, out.status.rbody);
    EXPECT_NE(0u, out.status.base);

    VESSELSTATUS back;
    wire::DecodeStatus(out.status, back);
    EXPECT_EQ(0, std::memcmp(&in.rpos, &back.rpos, sizeof(VECTOR3)));
    EXPECT_EQ(0.3, back.arot.z);
    EXPECT_EQ(0.5, back.fuel);
    EXPECT_EQ(1, back.status);
    EXPECT_EQ(23.5, back.vdata[0].x);
    EXPECT_EQ(9.0, back.fdata[3]);
    EXPECT_EQ(0xFFFFFFFFu, back.flag[9]);
    EXPECT_EQ(nullptr, back.rbody);  // left to the receipt fix-up
}

TEST_F(WireCodec, ListsAreCutToTheirCapacities) {
    // As a host fills them for a vessel with more entries than the wire holds.
    std::vector<VESSELSTATUS2::FUELSPEC> fuel(20);
    std::vector<VESSELSTATUS2::THRUSTSPEC> thrusters(70);
    std::vector<VESSELSTATUS2::DOCKINFOSPEC> docks(18);
    for (size_t i = 0; i < fuel.size(); ++i) fuel[i] = {static_cast<DWORD>(i), i / 20.0};
    for (size_t i = 0; i < thrusters.size(); ++i) thrusters[i] = {static_cast<DWORD>(i), 1.0};
    for (size_t i = 0; i < docks.size(); ++i) docks[i] = {static_cast<DWORD>(i), 0, nullptr};
    VESSELSTATUS2 in = BlankStatus2();
    SetLists(in, fuel, thrusters, docks);
    std::unique_ptr<Vessel2Message> m(new Vessel2Message);
    wire::EncodeVessel2(in, m->record());
    EXPECT_EQ(16u, m->record().status2.nfuel);
    EXPECT_EQ(64u, m->record().status2.nthruster);
    EXPECT_EQ(16u, m->record().status2.ndockinfo);
    EXPECT_EQ(15u, m->record().fuelLevels[15].idx);
    EXPECT_EQ(15 / 20.0, m->record().fuelLevels[15].level);
    EXPECT_EQ(63u, m->record().thrusterLevels[63].idx);

    // A list not asked for (null pointer) travels empty whatever its count.
    in.fuel = nullptr;
    in.thruster = nullptr;
    in.dockinfo = nullptr;
    wire::EncodeVessel2(in, m->record());
    EXPECT_EQ(0u, m->record().status2.nfuel);
    EXPECT_EQ(0u, m->record().status2.nthruster);
    EXPECT_EQ(0u, m->record().status2.ndockinfo);
    EXPECT_EQ(0.0, m->record().fuelLevels[3].level);
}

TEST_F(WireCodec, CapturedVesselSurvivesTheRoundTrip) {
    OBJHANDLE partner = helmtest::MakeVessel("Partner");
    ASSERT_NE(nullptr, partner);
    VESSELSTATUS2::FUELSPEC fuel[1] = {{0, 0.625}};
    VESSELSTATUS2::DOCKINFOSPEC dock[1] = {{0, 1, partner}};
    VESSELSTATUS2 in = BlankStatus2(0x1A);
    in.rbody = oapiGetObjectByName(const_cast<char*>("Earth"));
    in.rpos = _V(7.0e6, 1.0, 2.0);
    in.rvel = _V(3.0, 7.5e3, 4.0);
    in.nfuel = 1;
    in.fuel = fuel;
    in.ndockinfo = 1;
    in.dockinfo = dock;
    std::unique_ptr<Vessel2Message> sent(new Vessel2Message);
    sent->record().mjd = oapiGetSimMJD();
    wire::CopyName(sent->record().vesselName, "Probe");
    wire::EncodeVessel2(in, sent->record());

    std::unique_ptr<Message> got(CreateMessage(sent->payload(), sent->size()));
    Vessel2Message* v = dynamic_cast<Vessel2Message*>(got.get());
    ASSERT_NE(nullptr, v);
    EXPECT_EQ(in.rbody, v->status2.rbody);
    EXPECT_EQ(nullptr, v->status2.base);
    EXPECT_EQ(7.0e6, v->status2.rpos.x);
    ASSERT_EQ(1u, v->status2.nfuel);
    EXPECT_EQ(0.625, v->status2.fuel[0].level);
    ASSERT_EQ(1u, v->status2.ndockinfo);
    EXPECT_EQ(partner, v->status2.dockinfo[0].rvessel);
    EXPECT_EQ(1u, v->status2.dockinfo[0].ridx);
}

}  // namespace
