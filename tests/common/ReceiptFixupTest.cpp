// Receipt fix-ups of the vessel records: names to this host's handles, list
// pointers, position carried forward by the time in transit.
#include "CommonTestSupport.h"

namespace {

using helmtest::As;
using helmtest::Bytes;
using helmtest::Create;
using helmtest::Get;

class ReceiptFixup : public helmtest::HostTest {
protected:
    OBJHANDLE object(const char* name) { return oapiGetObjectByName(const_cast<char*>(name)); }

    // A version-1 record; the handles are arbitrary sender values.
    Bytes vessel(double mjd, uint32_t rbody, const char* rbodyName, uint32_t base, const char* baseName) {
        Bytes b(1, 640);
        b.put<double>(8, mjd).putName(16, "Probe").putName(48, "TestShip");
        b.put<double>(80, 7.0e6).put<double>(88, -1.0e5).put<double>(96, 10.0);
        b.put<double>(104, 100.0).put<double>(112, 7500.0).put<double>(120, -40.0);
        b.put<uint32_t>(200, rbody).put<uint32_t>(204, base);
        b.putName(576, rbodyName).putName(608, baseName);
        return b;
    }
    Bytes vessel2(double mjd, uint32_t rbody, const char* rbodyName, uint32_t base, const char* baseName) {
        Bytes b(2, 2304);
        b.put<double>(8, mjd).putName(16, "Probe").putName(48, "TestShip");
        b.put<uint32_t>(80, 2).put<uint32_t>(84, 0x1A);
        b.put<uint32_t>(88, rbody).put<uint32_t>(92, base);
        b.put<double>(104, 7.0e6).put<double>(112, -1.0e5).put<double>(120, 10.0);
        b.put<double>(128, 100.0).put<double>(136, 7500.0).put<double>(144, -40.0);
        b.putName(256, rbodyName).putName(288, baseName);
        return b;
    }
    // Neither record, of either version, finds its body or base here.
    static void expectNoHandles(const Bytes& version1, const Bytes& version2) {
        std::unique_ptr<Message> m1 = Create(version1);
        ASSERT_NE(nullptr, As<VesselMessage>(m1));
        EXPECT_EQ(nullptr, As<VesselMessage>(m1)->status.rbody);
        EXPECT_EQ(nullptr, As<VesselMessage>(m1)->status.base);
        std::unique_ptr<Message> m2 = Create(version2);
        ASSERT_NE(nullptr, As<Vessel2Message>(m2));
        EXPECT_EQ(nullptr, As<Vessel2Message>(m2)->status2.rbody);
        EXPECT_EQ(nullptr, As<Vessel2Message>(m2)->status2.base);
    }
};

TEST_F(ReceiptFixup, NamesBecomeLocalHandles) {
    const double now = oapiGetSimMJD();
    ASSERT_NE(nullptr, object("Earth"));
    ASSERT_NE(nullptr, object("Cape"));

    std::unique_ptr<Message> m1 = Create(vessel(now, 0x1111, "Earth", 0x2222, "Cape"));
    ASSERT_NE(nullptr, As<VesselMessage>(m1));
    EXPECT_EQ(object("Earth"), As<VesselMessage>(m1)->status.rbody);
    EXPECT_EQ(object("Cape"), As<VesselMessage>(m1)->status.base);
    // The wire bytes stay as they came.
    EXPECT_EQ(0x1111u, Get<uint32_t>(m1->payload(), 200));

    std::unique_ptr<Message> m2 = Create(vessel2(now, 0x1111, "Moon", 0x2222, "Crater"));
    ASSERT_NE(nullptr, As<Vessel2Message>(m2));
    EXPECT_EQ(object("Moon"), As<Vessel2Message>(m2)->status2.rbody);
    EXPECT_EQ(object("Crater"), As<Vessel2Message>(m2)->status2.base);
}

TEST_F(ReceiptFixup, ZeroHandlesStayZeroWhateverTheName) {
    const double now = oapiGetSimMJD();
    expectNoHandles(vessel(now, 0, "Earth", 0, "Cape"), vessel2(now, 0, "Earth", 0, "Cape"));
}

TEST_F(ReceiptFixup, UnknownNamesGiveZeroAndTheRecordIsStillDelivered) {
    const double now = oapiGetSimMJD();
    expectNoHandles(vessel(now, 5, "Vulcan", 6, "Nowhere"), vessel2(now, 5, "Vulcan", 6, ""));
}

TEST_F(ReceiptFixup, DockingEntriesLookUpOnlyNonZeroHandles) {
    OBJHANDLE partner = helmtest::MakeVessel("Partner");
    ASSERT_NE(nullptr, partner);
    Bytes b = vessel2(oapiGetSimMJD(), 1, "Earth", 0, "");
    b.put<uint32_t>(240, 3);
    // Entry 0: not docked, though its name field holds a known vessel.
    b.put<uint32_t>(1600, 0).put<uint32_t>(1604, 0).put<uint32_t>(1608, 0).putName(1792, "Partner");
    // Entry 1: docked to Partner.
    b.put<uint32_t>(1612, 1).put<uint32_t>(1616, 2).put<uint32_t>(1620, 0xABCD).putName(1792 + 32, "partner");
    // Entry 2: docked to a vessel this host does not have.
    b.put<uint32_t>(1632, 0xABCE).putName(1792 + 64, "Ghost");
    std::unique_ptr<Message> m = Create(b);
    Vessel2Message* v = As<Vessel2Message>(m);
    ASSERT_NE(nullptr, v);
    ASSERT_EQ(3u, v->status2.ndockinfo);
    EXPECT_EQ(nullptr, v->status2.dockinfo[0].rvessel);
    EXPECT_EQ(partner, v->status2.dockinfo[1].rvessel);
    EXPECT_EQ(1u, v->status2.dockinfo[1].idx);
    EXPECT_EQ(2u, v->status2.dockinfo[1].ridx);
    EXPECT_EQ(nullptr, v->status2.dockinfo[2].rvessel);
}

TEST_F(ReceiptFixup, ListPointersPointIntoTheObject) {
    Bytes b = vessel2(oapiGetSimMJD(), 0, "", 0, "");
    b.put<uint32_t>(228, 0x12345678).put<uint32_t>(236, 0x12345678).put<uint32_t>(244, 0x12345678);
    std::unique_ptr<Message> m = Create(b);
    Vessel2Message* v = As<Vessel2Message>(m);
    ASSERT_NE(nullptr, v);
    EXPECT_EQ(v->fuel, v->status2.fuel);
    EXPECT_EQ(v->thrusters, v->status2.thruster);
    EXPECT_EQ(v->docks, v->status2.dockinfo);
}

TEST_F(ReceiptFixup, PositionIsCarriedForwardByTheTimeInTransit) {
    const double now = oapiGetSimMJD();
    const double halfSecondAgo = now - 0.5 / 86400.0;
    // The date itself is only as fine as a double at this size allows.
    const double dt = (now - halfSecondAgo) * 86400.0;
    ASSERT_NEAR(0.5, dt, 1e-5);

    std::unique_ptr<Message> same = Create(vessel(now, 0, "", 0, ""));
    ASSERT_NE(nullptr, As<VesselMessage>(same));
    EXPECT_EQ(7.0e6, As<VesselMessage>(same)->status.rpos.x);
    EXPECT_EQ(-1.0e5, As<VesselMessage>(same)->status.rpos.y);

    std::unique_ptr<Message> m1 = Create(vessel(halfSecondAgo, 0, "", 0, ""));
    VesselMessage* v1 = As<VesselMessage>(m1);
    ASSERT_NE(nullptr, v1);
    EXPECT_DOUBLE_EQ(7.0e6 + dt * 100.0, v1->status.rpos.x);
    EXPECT_DOUBLE_EQ(-1.0e5 + dt * 7500.0, v1->status.rpos.y);
    EXPECT_DOUBLE_EQ(10.0 + dt * -40.0, v1->status.rpos.z);
    EXPECT_NEAR(-1.0e5 + 3750.0, v1->status.rpos.y, 0.1);
    EXPECT_EQ(7500.0, v1->status.rvel.y);  // velocity is not extrapolated
    // The wire image keeps the captured position.
    EXPECT_EQ(7.0e6, Get<double>(m1->payload(), 80));

    std::unique_ptr<Message> m2 = Create(vessel2(halfSecondAgo, 0, "", 0, ""));
    Vessel2Message* v2 = As<Vessel2Message>(m2);
    ASSERT_NE(nullptr, v2);
    EXPECT_DOUBLE_EQ(7.0e6 + dt * 100.0, v2->status2.rpos.x);
    EXPECT_NEAR(-1.0e5 + 3750.0, v2->status2.rpos.y, 0.1);
    EXPECT_NEAR(10.0 - 20.0, v2->status2.rpos.z, 1e-3);
}

}  // namespace
