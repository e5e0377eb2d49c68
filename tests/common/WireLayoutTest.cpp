// Byte-level layouts: datagrams written at literal offsets (the protocol's
// own numbers, not the records'), read back through the message objects; and
// records filled through the objects, read back at literal offsets.
#include "CommonTestSupport.h"
#include "WireCodec.h"

namespace {

using helmtest::As;
using helmtest::Bytes;
using helmtest::Create;
using helmtest::Get;

class WireLayout : public helmtest::HostTest {};

TEST_F(WireLayout, HeaderOnlyMessages) {
    for (int32_t type : {-6, -5, -1}) {
        Bytes b(type, 8);
        b.put<int32_t>(4, 0x01020304);
        std::unique_ptr<Message> m = Create(b);
        ASSERT_NE(nullptr, m);
        EXPECT_EQ(type, m->type());
        EXPECT_EQ(0x01020304, m->seq());
    }
}

TEST_F(WireLayout, Start) {
    Bytes b(0, 32);
    b.put<int32_t>(4, 77).put<double>(8, 60001.25).put<double>(16, 10.0).put<double>(24, 0.02);
    std::unique_ptr<Message> m = Create(b);
    StartMessage* s = As<StartMessage>(m);
    ASSERT_NE(nullptr, s);
    EXPECT_EQ(77, s->seq());
    EXPECT_EQ(60001.25, s->record().mjd);
    EXPECT_EQ(10.0, s->record().timeAccel);
    EXPECT_EQ(0.02, s->record().simStep);
}

TEST_F(WireLayout, Vessel) {
    const double now = oapiGetSimMJD();  // no carry-forward
    Bytes b(1, 640);
    b.put<double>(8, now).putName(16, "Alpha").putName(48, "TestShip");
    b.put<double>(80, 1.0).put<double>(88, 2.0).put<double>(96, 3.0);        // rpos
    b.put<double>(104, 4.0).put<double>(112, 5.0).put<double>(120, 6.0);     // rvel
    b.put<double>(128, 7.0).put<double>(152, 8.0);                           // vrot.x, arot.x
    b.put<double>(176, 0.5).put<double>(184, 0.25).put<double>(192, 0.125);  // fuel, main, hover
    b.put<uint32_t>(200, 0).put<uint32_t>(204, 0);                           // rbody, base
    b.put<int32_t>(208, 3).put<int32_t>(212, 1);                             // port, status
    b.put<double>(216, -80.6).put<double>(224, 28.5).put<double>(232, 1.5);  // vdata[0]
    b.put<double>(216 + 9 * 24 + 16, 9.75);                                  // vdata[9].z
    b.put<double>(456, 11.0).put<double>(456 + 9 * 8, 12.0);                 // fdata
    b.put<uint32_t>(536, 13).put<uint32_t>(536 + 9 * 4, 14);                 // flag
    b.putName(576, "Earth").putName(608, "Cape");
    std::unique_ptr<Message> m = Create(b);
    VesselMessage* v = As<VesselMessage>(m);
    ASSERT_NE(nullptr, v);
    EXPECT_STREQ("Alpha", v->record().vesselName);
    EXPECT_STREQ("TestShip", v->record().className);
    EXPECT_STREQ("Earth", v->record().rbodyName);
    EXPECT_STREQ("Cape", v->record().baseName);
    const VESSELSTATUS& s = v->status;
    EXPECT_EQ(1.0, s.rpos.x);
    EXPECT_EQ(3.0, s.rpos.z);
    EXPECT_EQ(4.0, s.rvel.x);
    EXPECT_EQ(6.0, s.rvel.z);
    EXPECT_EQ(7.0, s.vrot.x);
    EXPECT_EQ(8.0, s.arot.x);
    EXPECT_EQ(0.5, s.fuel);
    EXPECT_EQ(0.25, s.eng_main);
    EXPECT_EQ(0.125, s.eng_hovr);
    EXPECT_EQ(3, s.port);
    EXPECT_EQ(1, s.status);
    EXPECT_EQ(-80.6, s.vdata[0].x);
    EXPECT_EQ(28.5, s.vdata[0].y);
    EXPECT_EQ(9.75, s.vdata[9].z);
    EXPECT_EQ(11.0, s.fdata[0]);
    EXPECT_EQ(12.0, s.fdata[9]);
    EXPECT_EQ(13u, s.flag[0]);
    EXPECT_EQ(14u, s.flag[9]);
}

TEST_F(WireLayout, Vessel2) {
    const double now = oapiGetSimMJD();
    Bytes b(2, 2304);
    b.put<double>(8, now).putName(16, "Beta").putName(48, "TestShip");
    b.put<uint32_t>(80, 2).put<uint32_t>(84, 0x1A).put<uint32_t>(88, 0).put<uint32_t>(92, 0);
    b.put<int32_t>(96, 1).put<int32_t>(100, 0);
    b.put<double>(104, 100.0).put<double>(120, 300.0);  // rpos x, z
    b.put<double>(128, 10.0).put<double>(144, 30.0);    // rvel x, z
    b.put<double>(152, 0.1).put<double>(176, 0.2);      // vrot.x, arot.x
    b.put<double>(200, 1.25).put<double>(208, 2.5).put<double>(216, 3.75);
    b.put<uint32_t>(224, 2).put<uint32_t>(228, 0xDEADBEEF);  // fuel count, pointer
    b.put<uint32_t>(232, 3).put<uint32_t>(236, 0xDEADBEEF);  // thrusters
    b.put<uint32_t>(240, 1).put<uint32_t>(244, 0xDEADBEEF);  // docking
    b.put<uint32_t>(248, 1234);                              // xpdr
    b.putName(256, "Earth").putName(288, "");
    b.put<uint32_t>(320, 0).put<double>(328, 0.75).put<uint32_t>(336, 1).put<double>(344, 0.5);
    b.put<uint32_t>(576 + 2 * 16, 7).put<double>(576 + 2 * 16 + 8, 0.9);
    b.put<uint32_t>(1600, 1).put<uint32_t>(1604, 0).put<uint32_t>(1608, 0);
    b.putName(1792, "Nobody");
    std::unique_ptr<Message> m = Create(b);
    Vessel2Message* v = As<Vessel2Message>(m);
    ASSERT_NE(nullptr, v);
    EXPECT_STREQ("Beta", v->record().vesselName);
    EXPECT_STREQ("TestShip", v->record().className);
    EXPECT_STREQ("Earth", v->record().rbodyName);
    const VESSELSTATUS2& s = v->status2;
    EXPECT_EQ(2u, s.version);
    EXPECT_EQ(0x1Au, s.flag);
    EXPECT_EQ(1, s.port);
    EXPECT_EQ(100.0, s.rpos.x);
    EXPECT_EQ(300.0, s.rpos.z);
    EXPECT_EQ(10.0, s.rvel.x);
    EXPECT_EQ(30.0, s.rvel.z);
    EXPECT_EQ(0.1, s.vrot.x);
    EXPECT_EQ(0.2, s.arot.x);
    EXPECT_EQ(1.25, s.surf_lng);
    EXPECT_EQ(2.5, s.surf_lat);
    EXPECT_EQ(3.75, s.surf_hdg);
    EXPECT_EQ(1234u, s.xpdr);
    ASSERT_EQ(2u, s.nfuel);
    EXPECT_EQ(1u, s.fuel[1].idx);
    EXPECT_EQ(0.5, s.fuel[1].level);
    EXPECT_EQ(0.75, s.fuel[0].level);
    ASSERT_EQ(3u, s.nthruster);
    EXPECT_EQ(7u, s.thruster[2].idx);
    EXPECT_EQ(0.9, s.thruster[2].level);
    ASSERT_EQ(1u, s.ndockinfo);
    EXPECT_EQ(1u, s.dockinfo[0].idx);
    EXPECT_EQ(nullptr, s.dockinfo[0].rvessel);
    EXPECT_STREQ("Nobody", v->record().dockVesselNames[0]);
}

TEST_F(WireLayout, Airfoil) {
    Bytes b(3, 88);
    b.putName(8, "Gamma");
    for (int i = 0; i < 6; ++i) b.put<double>(40 + 8 * i, 0.1 * (i + 1));
    std::unique_ptr<Message> m = Create(b);
    AirfoilMessage* a = As<AirfoilMessage>(m);
    ASSERT_NE(nullptr, a);
    EXPECT_STREQ("Gamma", a->record().vesselName);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(0.1 * (i + 1), a->record().surfaceLevels[i]);
}

TEST_F(WireLayout, XR) {
    Bytes b(4, 672);
    b.putName(8, "Delta");
    b.put<uint8_t>(40, 0xA1).put<uint8_t>(40 + 231, 0xA2);
    b.put<uint8_t>(272, 1).put<uint8_t>(273, 2).put<uint8_t>(274, 3);
    b.put<int32_t>(276, -1).put<int32_t>(276 + 12 * 4, 42).put<int32_t>(276 + 14 * 4, 99);
    b.put<double>(336, 123.5).put<uint8_t>(344, 5).put<uint8_t>(345, 6);
    b.put<uint8_t>(352, 0xB1).put<uint8_t>(352 + 7 * 40 + 39, 0xB2);
    std::unique_ptr<Message> m = Create(b);
    XRMessage* x = As<XRMessage>(m);
    ASSERT_NE(nullptr, x);
    const wire::XRRecord& r = x->record();
    EXPECT_STREQ("Delta", r.vesselName);
    EXPECT_EQ(0xA1, r.xrBlock[0]);
    EXPECT_EQ(0xA2, r.xrBlock[231]);
    EXPECT_EQ(1, r.xrByteStates[0]);
    EXPECT_EQ(3, r.xrByteStates[2]);
    EXPECT_EQ(-1, r.xrStates[0]);
    EXPECT_EQ(42, r.xrStates[12]);
    EXPECT_EQ(99, r.xrStates[14]);
    EXPECT_EQ(123.5, r.xrValue);
    EXPECT_EQ(5, r.xrByteA);
    EXPECT_EQ(6, r.xrByteB);
    EXPECT_EQ(0xB1, r.xrRecords[0][0]);
    EXPECT_EQ(0xB2, r.xrRecords[7][39]);
}

TEST_F(WireLayout, Focus) {
    Bytes b(5, 40);
    b.putName(8, "Epsilon");
    std::unique_ptr<Message> m = Create(b);
    ASSERT_NE(nullptr, As<FocusMessage>(m));
    EXPECT_STREQ("Epsilon", As<FocusMessage>(m)->record().vesselName);
}

TEST_F(WireLayout, VesselState) {
    const char text[] = "LINE1\nLINE2";
    Bytes b(6, 56 + 11);
    b.put<double>(8, 60000.5).putName(16, "Zeta").put<int32_t>(48, 11).putText(56, text, 11);
    std::unique_ptr<Message> m = Create(b);
    VesselStateMessage* v = As<VesselStateMessage>(m);
    ASSERT_NE(nullptr, v);
    EXPECT_EQ(60000.5, v->record().mjd);
    EXPECT_STREQ("Zeta", v->record().vesselName);
    EXPECT_EQ(11, v->record().textLength);
    EXPECT_EQ(std::string(text), std::string(v->record().text, 11));
}

TEST_F(WireLayout, Keyboard) {
    Bytes b(7, 204);
    b.put<int32_t>(8, 2);
    b.put<int32_t>(12, 0).put<int32_t>(16, 0x41).put<int32_t>(20, 0x001E0001);
    b.put<int32_t>(24, 3).put<int32_t>(28, 0x42).put<int32_t>(32, static_cast<int32_t>(0xC0300001u));
    b.put<int32_t>(12 + 15 * 12 + 8, 0x7777);
    std::unique_ptr<Message> m = Create(b);
    KeyboardMessage* k = As<KeyboardMessage>(m);
    ASSERT_NE(nullptr, k);
    const wire::KeyboardRecord& r = k->record();
    EXPECT_EQ(2, r.keyCount);
    EXPECT_EQ(0x41, r.keys[0].virtualKey);
    EXPECT_EQ(0x001E0001, r.keys[0].keyFlags);
    EXPECT_EQ(3, r.keys[1].hookCode);
    EXPECT_EQ(0x42, r.keys[1].virtualKey);
    EXPECT_EQ(static_cast<int32_t>(0xC0300001u), r.keys[1].keyFlags);
    EXPECT_EQ(0x7777, r.keys[15].keyFlags);
}

TEST_F(WireLayout, VesselExtra) {
    Bytes b(8, 84);
    b.putName(8, "Eta").put<int32_t>(40, 0x86).put<int32_t>(44, 2).put<uint32_t>(48, 7);
    b.put<uint16_t>(52, 600).put<uint16_t>(52 + 15 * 2, 639);
    std::unique_ptr<Message> m = Create(b);
    VesselExtraMessage* e = As<VesselExtraMessage>(m);
    ASSERT_NE(nullptr, e);
    EXPECT_STREQ("Eta", e->record().vesselName);
    EXPECT_EQ(0x86, e->record().navmodeBits);
    EXPECT_EQ(2, e->record().attitudeMode);
    EXPECT_EQ(7u, e->record().adCtrlMode);
    EXPECT_EQ(600, e->record().navChannels[0]);
    EXPECT_EQ(639, e->record().navChannels[15]);
}

TEST_F(WireLayout, Animation) {
    Bytes b(9, 176);
    b.putName(8, "Theta").put<int32_t>(40, 16);
    for (int i = 0; i < 16; ++i) b.put<double>(48 + 8 * i, i / 16.0);
    std::unique_ptr<Message> m = Create(b);
    AnimationMessage* a = As<AnimationMessage>(m);
    ASSERT_NE(nullptr, a);
    EXPECT_STREQ("Theta", a->record().vesselName);
    EXPECT_EQ(16, a->record().animCount);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(i / 16.0, a->record().animStates[i]);
}

// The other direction: what a sender fills lands at the protocol's offsets.
TEST_F(WireLayout, FilledRecordsLandAtTheirOffsets) {
    StartMessage start;
    start.record().mjd = 60000.75;
    start.record().simStep = 0.5;
    start.setSeq(9);
    EXPECT_EQ(0, Get<int32_t>(start.payload(), 0));
    EXPECT_EQ(9, Get<int32_t>(start.payload(), 4));
    EXPECT_EQ(60000.75, Get<double>(start.payload(), 8));
    EXPECT_EQ(0.5, Get<double>(start.payload(), 24));

    AnimationMessage anim;
    anim.record().animCount = 3;
    anim.record().animStates[2] = 0.625;
    EXPECT_EQ(9, Get<int32_t>(anim.payload(), 0));
    EXPECT_EQ(3, Get<int32_t>(anim.payload(), 40));
    EXPECT_EQ(0.625, Get<double>(anim.payload(), 48 + 16));

    VesselExtraMessage extra;
    extra.record().adCtrlMode = 5;
    extra.record().navChannels[3] = 321;
    EXPECT_EQ(5u, Get<uint32_t>(extra.payload(), 48));
    EXPECT_EQ(321, Get<uint16_t>(extra.payload(), 52 + 6));
}

TEST_F(WireLayout, EncodedVessel2LandsAtItsOffsets) {
    OBJHANDLE other = helmtest::MakeVessel("Partner");
    ASSERT_NE(nullptr, other);
    VESSELSTATUS2::FUELSPEC fuel[2] = {{0, 0.25}, {1, 0.5}};
    VESSELSTATUS2::THRUSTSPEC thrust[1] = {{4, 1.0}};
    VESSELSTATUS2::DOCKINFOSPEC dock[2] = {{0, 0, nullptr}, {1, 2, other}};
    VESSELSTATUS2 s = BlankStatus2(0x1A);
    s.rbody = oapiGetObjectByName(const_cast<char*>("Earth"));
    s.rpos = _V(1.0, 2.0, 3.0);
    s.rvel = _V(4.0, 5.0, 6.0);
    s.surf_hdg = 0.5;
    SetLists(s, fuel, thrust, dock);
    s.xpdr = 77;
    Vessel2Message m;
    wire::EncodeVessel2(s, m.record());
    const uint8_t* p = m.payload();
    EXPECT_EQ(2, Get<int32_t>(p, 0));
    EXPECT_EQ(2u, Get<uint32_t>(p, 80));
    EXPECT_EQ(0x1Au, Get<uint32_t>(p, 84));
    EXPECT_NE(0u, Get<uint32_t>(p, 88));  // a handle travels non-zero
    EXPECT_EQ(0u, Get<uint32_t>(p, 92));
    EXPECT_EQ(1.0, Get<double>(p, 104));
    EXPECT_EQ(6.0, Get<double>(p, 144));
    EXPECT_EQ(0.5, Get<double>(p, 216));
    EXPECT_EQ(2u, Get<uint32_t>(p, 224));
    EXPECT_EQ(0u, Get<uint32_t>(p, 228));  // pointers travel as zero
    EXPECT_EQ(1u, Get<uint32_t>(p, 232));
    EXPECT_EQ(0u, Get<uint32_t>(p, 236));
    EXPECT_EQ(2u, Get<uint32_t>(p, 240));
    EXPECT_EQ(0u, Get<uint32_t>(p, 244));
    EXPECT_EQ(77u, Get<uint32_t>(p, 248));
    EXPECT_STREQ("Earth", reinterpret_cast<const char*>(p + 256));
    EXPECT_EQ(0, p[288]);
    EXPECT_EQ(1u, Get<uint32_t>(p, 320 + 16));
    EXPECT_EQ(0.5, Get<double>(p, 320 + 16 + 8));
    EXPECT_EQ(4u, Get<uint32_t>(p, 576));
    EXPECT_EQ(1.0, Get<double>(p, 584));
    EXPECT_EQ(0u, Get<uint32_t>(p, 1600 + 8));  // undocked port: zero handle
    EXPECT_EQ(0, p[1792]);                      // and no name
    EXPECT_EQ(1u, Get<uint32_t>(p, 1612));
    EXPECT_EQ(2u, Get<uint32_t>(p, 1616));
    EXPECT_NE(0u, Get<uint32_t>(p, 1620));
    EXPECT_STREQ("Partner", reinterpret_cast<const char*>(p + 1792 + 32));
}

}  // namespace
