// Motion: two-body free flight, landed and docked vessels, date jumps.
#include "HostTestFixture.h"

namespace {

constexpr double kMu = 3.986004418e14;
constexpr double kPi = 3.14159265358979323846;

double Length(const VECTOR3& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

VESSELSTATUS2 StatusOf(OBJHANDLE h) { return ::StatusOf(*oapiGetVesselInterface(h)); }

double Energy(const VESSELSTATUS2& vs) {
    double v = Length(vs.rvel);
    return v * v / 2 - kMu / Length(vs.rpos);
}

class Physics : public HostTest {};

TEST_F(Physics, CircularOrbitKeepsItsRadiusAndEnergyOverOnePeriod) {
    const double r = 6778000.0;
    OBJHANDLE h = orbiting("Sat", "Tanker", r);
    const VESSELSTATUS2 start = StatusOf(h);
    const double period = 2 * kPi * std::sqrt(r * r * r / kMu);
    double elapsed = 0.0;
    double worst = 0.0;
    while (elapsed < period) {
        double dt = std::min(7.0, period - elapsed);  // sub-stepped inside the host
        host().step(dt);
        elapsed += dt;
        worst = std::max(worst, std::fabs(Length(StatusOf(h).rpos) - r));
    }
    const VESSELSTATUS2 end = StatusOf(h);
    EXPECT_LT(worst, 1.0);
    EXPECT_LT(std::fabs(Energy(end) - Energy(start)) / std::fabs(Energy(start)), 1e-9);
    EXPECT_LT(Length(VECTOR3{end.rpos.x - start.rpos.x, end.rpos.y - start.rpos.y, end.rpos.z - start.rpos.z}), 10.0);
    EXPECT_NEAR(oapiGetSimTime(), period, 1e-6);
}

TEST_F(Physics, EllipticOrbitConservesEnergyAndAngularMomentum) {
    OBJHANDLE h = CreateVesselAt("Ell", "Tanker", _V(7000000.0, 0, 0), _V(0, 1000.0, 8500.0));
    const VESSELSTATUS2 start = StatusOf(h);
    oapiSetTimeAcceleration(50.0);
    for (int i = 0; i < 200; ++i) host().step(1.0);  // 10000 s
    const VESSELSTATUS2 end = StatusOf(h);
    EXPECT_LT(std::fabs(Energy(end) - Energy(start)) / std::fabs(Energy(start)), 1e-8);
    auto h2 = [](const VESSELSTATUS2& s) {
        return Length(VECTOR3{s.rpos.y * s.rvel.z - s.rpos.z * s.rvel.y, s.rpos.z * s.rvel.x - s.rpos.x * s.rvel.z,
                              s.rpos.x * s.rvel.y - s.rpos.y * s.rvel.x});
    };
    EXPECT_NEAR(h2(end) / h2(start), 1.0, 1e-8);
}

TEST_F(Physics, LandedVesselsStayAndDockedVesselsFollowTheirLeader) {
    OBJHANDLE leader = orbiting("Leader");
    VESSELSTATUS2 vs = StatusOf(leader);
    vs.rpos.x += 30.0;
    OBJHANDLE member = oapiCreateVesselEx("Member", "Tanker", &vs);
    ASSERT_EQ(iface(member)->Dock(leader, 1, 0, 0), 0);

    VESSELSTATUS landed;
    std::memset(&landed, 0, sizeof landed);
    landed.status = 1;
    landed.base = oapiGetObjectByName(const_cast<char*>("Cape"));
    landed.vdata[0] = _V(-80.6 * kPi / 180, 28.5 * kPi / 180, 0);
    OBJHANDLE ground = oapiCreateVessel("Ground", "Tanker", landed);
    const VESSELSTATUS2 groundStart = StatusOf(ground);

    for (int i = 0; i < 50; ++i) host().step(2.0);
    VESSELSTATUS2 l = StatusOf(leader), m = StatusOf(member), g = StatusOf(ground);
    EXPECT_NEAR(m.rpos.x - l.rpos.x, 30.0, 1e-6);
    EXPECT_NEAR(m.rpos.y - l.rpos.y, 0.0, 1e-6);
    EXPECT_NEAR(m.rpos.z - l.rpos.z, 0.0, 1e-6);
    EXPECT_DOUBLE_EQ(m.rvel.z, l.rvel.z);
    EXPECT_GT(std::fabs(l.rpos.z), 10000.0);  // the leader did move
    EXPECT_EQ(g.status, 1);
    EXPECT_DOUBLE_EQ(g.rpos.x, groundStart.rpos.x);
    EXPECT_DOUBLE_EQ(g.rpos.y, groundStart.rpos.y);
    EXPECT_EQ(Length(g.rvel), 0.0);
    EXPECT_NEAR(Length(g.rpos), 6371000.0, 1e-6);
}

TEST_F(Physics, DateJumpKeepsOrPropagatesStateByMode) {
    OBJHANDLE h = orbiting("Jumper");
    iface(h)->GetHandle();
    const VESSELSTATUS2 start = StatusOf(h);

    ASSERT_TRUE(oapiSetSimMJD(60000.0 + 0.5, 0x22));
    VESSELSTATUS2 kept = StatusOf(h);
    EXPECT_EQ(std::memcmp(&kept.rpos, &start.rpos, sizeof start.rpos), 0);
    EXPECT_EQ(std::memcmp(&kept.rvel, &start.rvel, sizeof start.rvel), 0);
    EXPECT_DOUBLE_EQ(oapiGetSimMJD(), 60000.5);

    // Along the orbit: a quarter period later the vessel is a quarter round on.
    const double r = 6778000.0;
    const double period = 2 * kPi * std::sqrt(r * r * r / kMu);
    ASSERT_TRUE(oapiSetSimMJD(oapiGetSimMJD() + period / 4 / 86400.0, PROP_ORBITAL_ELEMENTS));
    VESSELSTATUS2 moved = StatusOf(h);
    EXPECT_NEAR(moved.rpos.x, 0.0, 50.0);
    EXPECT_NEAR(moved.rpos.z, r, 50.0);
    EXPECT_NEAR(Energy(moved), Energy(start), std::fabs(Energy(start)) * 1e-9);
}

TEST_F(Physics, SuborbitalVesselsFollowTheirOwnNibble) {
    OBJHANDLE orbital = orbiting("High");
    VESSELSTATUS2 vs = StatusOf(orbital);
    vs.rpos = _V(6471000.0, 0, 0);
    vs.rvel = _V(0, 0, 3000.0);  // periapsis far below the surface
    OBJHANDLE suborbital = oapiCreateVesselEx("Low", "Tanker", &vs);
    const VESSELSTATUS2 orbitalStart = StatusOf(orbital);
    // Orbital: fixed surface; suborbital: propagate.
    ASSERT_TRUE(oapiSetSimMJD(oapiGetSimMJD() + 60.0 / 86400.0, PROP_ORBITAL_FIXEDSURF | PROP_SORBITAL_ELEMENTS));
    EXPECT_DOUBLE_EQ(StatusOf(orbital).rpos.x, orbitalStart.rpos.x);
    EXPECT_GT(StatusOf(suborbital).rpos.z, 100000.0);
}

}  // namespace
