// A record a 32-bit host captured, received by this 64-bit build: its host
// records have 8-byte handles and pointers, so every field after the first
// handle sits elsewhere than in the wire image. The handles are such as a
// 32-bit host hands out above 2 GB (high bit set).
#include "CommonTestSupport.h"

namespace {

using helmtest::As;
using helmtest::Bytes;
using helmtest::Create;

class CrossWidth : public helmtest::HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        if (sizeof(OBJHANDLE) != 8) GTEST_SKIP() << "a 32-bit build's host records are the wire image";
    }
    OBJHANDLE object(const char* name) {
        OBJHANDLE handle = oapiGetObjectByName(const_cast<char*>(name));
        EXPECT_NE(nullptr, handle) << name << " is not in the stand-in host";
        return handle;
    }
};

TEST_F(CrossWidth, VesselStatusFromA32BitHost) {
    Bytes b(1, 640);
    b.put<double>(8, oapiGetSimMJD()).putName(16, "Probe").putName(48, "TestShip");
    b.put<uint32_t>(200, 0x8F3A1C40u).put<uint32_t>(204, 0xFFFF0010u);  // rbody, base
    b.put<int32_t>(208, 2).put<int32_t>(212, 1);                        // port, status
    b.put<double>(216 + 9 * 24 + 16, -9.5);                             // vdata[9].z
    b.put<double>(456 + 9 * 8, 12.0);                                   // fdata[9]
    b.put<uint32_t>(536 + 9 * 4, 0xC0FFEEu);                            // flag[9], the last field
    b.putName(576, "Moon").putName(608, "Crater");
    std::unique_ptr<Message> m = Create(b);
    VesselMessage* v = As<VesselMessage>(m);
    ASSERT_NE(nullptr, v);
    const VESSELSTATUS& s = v->status;
    EXPECT_EQ(object("Moon"), s.rbody);
    EXPECT_EQ(object("Crater"), s.base);
    EXPECT_EQ(2, s.port);
    EXPECT_EQ(1, s.status);
    EXPECT_EQ(-9.5, s.vdata[9].z);
    EXPECT_EQ(12.0, s.fdata[9]);
    EXPECT_EQ(0xC0FFEEu, s.flag[9]);
}

TEST_F(CrossWidth, VesselStatus2AndItsListsFromA32BitHost) {
    OBJHANDLE partner = helmtest::MakeVessel("Partner");
    ASSERT_NE(nullptr, partner);
    Bytes b(2, 2304);
    b.put<double>(8, oapiGetSimMJD()).putName(16, "Probe").putName(48, "TestShip");
    b.put<uint32_t>(80, 2).put<uint32_t>(84, 0x1A);
    b.put<uint32_t>(88, 0x8F3A1C40u).put<uint32_t>(92, 0xFFFF0010u);  // rbody, base
    b.put<int32_t>(96, 1).put<int32_t>(100, 1);                       // port, status
    b.put<double>(104, 7.0e6).put<double>(216, 0.75);                 // rpos.x, surf_hdg
    // The counts and the 32-bit host's list pointers, which mean nothing here.
    b.put<uint32_t>(224, 2).put<uint32_t>(228, 0x9A000010u);
    b.put<uint32_t>(232, 1).put<uint32_t>(236, 0x9A000040u);
    b.put<uint32_t>(240, 2).put<uint32_t>(244, 0x9A000080u);
    b.put<uint32_t>(248, 4321);  // xpdr, the last field
    b.putName(256, "Earth").putName(288, "Cape");
    b.put<uint32_t>(320 + 16, 3).put<double>(320 + 16 + 8, 0.5);  // fuel[1]
    b.put<uint32_t>(576, 9).put<double>(576 + 8, 1.0);            // thruster[0]
    // Dock entries, 12 bytes each on the wire: [1] docked to Partner.
    b.put<uint32_t>(1612, 1).put<uint32_t>(1616, 2).put<uint32_t>(1620, 0x80000000u).putName(1792 + 32, "Partner");
    std::unique_ptr<Message> m = Create(b);
    Vessel2Message* v = As<Vessel2Message>(m);
    ASSERT_NE(nullptr, v);
    const VESSELSTATUS2& s = v->status2;
    EXPECT_EQ(object("Earth"), s.rbody);
    EXPECT_EQ(object("Cape"), s.base);
    EXPECT_EQ(1, s.port);
    EXPECT_EQ(1, s.status);
    EXPECT_EQ(7.0e6, s.rpos.x);
    EXPECT_EQ(0.75, s.surf_hdg);
    EXPECT_EQ(4321u, s.xpdr);
    ASSERT_EQ(2u, s.nfuel);
    EXPECT_EQ(3u, s.fuel[1].idx);
    EXPECT_EQ(0.5, s.fuel[1].level);
    ASSERT_EQ(1u, s.nthruster);
    EXPECT_EQ(9u, s.thruster[0].idx);
    EXPECT_EQ(1.0, s.thruster[0].level);
    ASSERT_EQ(2u, s.ndockinfo);
    EXPECT_EQ(nullptr, s.dockinfo[0].rvessel);
    EXPECT_EQ(1u, s.dockinfo[1].idx);
    EXPECT_EQ(2u, s.dockinfo[1].ridx);
    EXPECT_EQ(partner, s.dockinfo[1].rvessel);
}

}  // namespace
