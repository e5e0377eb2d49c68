// Datagrams built to hurt: counts beyond their arrays, names without an end,
// dates and motion that are not numbers.
#include <cmath>
#include <limits>

#include "CommonTestSupport.h"

namespace {

using helmtest::As;
using helmtest::Bytes;
using helmtest::Create;
using helmtest::Get;

class HostileInput : public helmtest::HostTest {};

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

int32_t KeyCountAfterReceipt(int32_t sent) {
    Bytes b(7, 204);
    b.put<int32_t>(8, sent);
    std::unique_ptr<Message> m = Create(b);
    EXPECT_NE(nullptr, m);
    if (m == nullptr) return -12345;
    // Cut in the payload itself, so any later reader is safe.
    EXPECT_EQ(As<KeyboardMessage>(m)->record().keyCount, Get<int32_t>(m->payload(), 8));
    return Get<int32_t>(m->payload(), 8);
}

int32_t AnimCountAfterReceipt(int32_t sent) {
    Bytes b(9, 176);
    b.put<int32_t>(40, sent);
    std::unique_ptr<Message> m = Create(b);
    EXPECT_NE(nullptr, m);
    return m != nullptr ? Get<int32_t>(m->payload(), 40) : -12345;
}

TEST_F(HostileInput, KeyAndAnimationCountsAreCut) {
    EXPECT_EQ(16, KeyCountAfterReceipt(16));
    EXPECT_EQ(16, KeyCountAfterReceipt(17));
    EXPECT_EQ(16, KeyCountAfterReceipt(std::numeric_limits<int32_t>::max()));
    EXPECT_EQ(0, KeyCountAfterReceipt(-1));
    EXPECT_EQ(0, KeyCountAfterReceipt(std::numeric_limits<int32_t>::min()));
    EXPECT_EQ(5, KeyCountAfterReceipt(5));

    EXPECT_EQ(16, AnimCountAfterReceipt(17));
    EXPECT_EQ(0, AnimCountAfterReceipt(-3));
    EXPECT_EQ(9, AnimCountAfterReceipt(9));
}

TEST_F(HostileInput, StatusListCountsAreCut) {
    struct Case {
        uint32_t fuel, thrusters, docks;
        uint32_t expectFuel, expectThrusters, expectDocks;
    };
    const Case cases[] = {
        {17, 65, 17, 16, 64, 16},
        {0xFFFFFFFFu, 0x80000000u, 0xFFFFFFF0u, 0, 0, 0},  // negative as 32-bit counts
        {1000000, 1000000, 1000000, 16, 64, 16},
        {3, 4, 5, 3, 4, 5},
    };
    for (const Case& c : cases) {
        Bytes b(2, 2304);
        b.put<double>(8, oapiGetSimMJD());
        b.put<uint32_t>(224, c.fuel).put<uint32_t>(232, c.thrusters).put<uint32_t>(240, c.docks);
        // Every docking entry claims a docked vessel.
        for (int i = 0; i < 16; ++i) b.put<uint32_t>(1600 + 12 * i + 8, 1);
        std::unique_ptr<Message> m = Create(b);
        Vessel2Message* v = As<Vessel2Message>(m);
        ASSERT_NE(nullptr, v);
        EXPECT_EQ(c.expectFuel, Get<uint32_t>(m->payload(), 224));
        EXPECT_EQ(c.expectThrusters, Get<uint32_t>(m->payload(), 232));
        EXPECT_EQ(c.expectDocks, Get<uint32_t>(m->payload(), 240));
        EXPECT_EQ(c.expectFuel, v->status2.nfuel);
        EXPECT_EQ(c.expectThrusters, v->status2.nthruster);
        EXPECT_EQ(c.expectDocks, v->status2.ndockinfo);
    }
}

TEST_F(HostileInput, UnterminatedNamesEndInsideTheirFields) {
    std::string full(32, 'N');
    struct NameField {
        int32_t type;
        int size;
        size_t offset;
    };
    const NameField fields[] = {
        {1, 640, 16},  {1, 640, 48},   {1, 640, 576},  {1, 640, 608},   {2, 2304, 16},
        {2, 2304, 48}, {2, 2304, 256}, {2, 2304, 288}, {2, 2304, 1792}, {2, 2304, 1792 + 15 * 32},
        {3, 88, 8},    {4, 672, 8},    {5, 40, 8},     {6, 56, 16},     {8, 84, 8},
        {9, 176, 8},
    };
    for (const NameField& f : fields) {
        Bytes b(f.type, static_cast<size_t>(f.size));
        if (f.type == 1 || f.type == 2 || f.type == 6) b.put<double>(8, oapiGetSimMJD());
        b.putText(f.offset, full.data(), 32);
        std::unique_ptr<Message> m = Create(b);
        ASSERT_NE(nullptr, m) << "type " << f.type;
        const char* name = reinterpret_cast<const char*>(m->payload() + f.offset);
        EXPECT_EQ(31u, strnlen(name, 32)) << "type " << f.type << " offset " << f.offset;
    }
}

TEST_F(HostileInput, UnterminatedNamesAreLookedUpSafely) {
    // A docked vessel and the reference body whose names run to the field's
    // end: the lookups must stop inside the field.
    Bytes b(2, 2304);
    std::string full(32, 'Q');
    b.put<double>(8, oapiGetSimMJD()).put<uint32_t>(88, 1).put<uint32_t>(92, 1).put<uint32_t>(240, 16);
    b.putText(256, full.data(), 32).putText(288, full.data(), 32);
    for (int i = 0; i < 16; ++i) {
        b.put<uint32_t>(1600 + 12 * i + 8, 1);
        b.putText(1792 + 32 * static_cast<size_t>(i), full.data(), 32);
    }
    std::unique_ptr<Message> m = Create(b);
    Vessel2Message* v = As<Vessel2Message>(m);
    ASSERT_NE(nullptr, v);
    EXPECT_EQ(nullptr, v->status2.rbody);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(nullptr, v->status2.dockinfo[i].rvessel);
}

TEST_F(HostileInput, StartWithValuesThatAreNotNumbersIsNoMessage) {
    for (size_t offset : {8u, 16u, 24u}) {
        for (double bad : {kNaN, kInf, -kInf}) {
            Bytes b(0, 32);
            b.put<double>(8, 60000.0).put<double>(16, 1.0).put<double>(24, 0.01).put<double>(offset, bad);
            EXPECT_EQ(nullptr, Create(b)) << "offset " << offset << " value " << bad;
        }
    }
    Bytes good(0, 32);
    good.put<double>(8, 60000.0).put<double>(16, 1.0).put<double>(24, 0.01);
    EXPECT_NE(nullptr, Create(good));
}

TEST_F(HostileInput, VesselRecordsWithBadDatesOrMotionAreNoMessages) {
    const double now = oapiGetSimMJD();
    // Vessel: mjd at 8, rpos at 80, rvel at 104. Vessel2: mjd at 8, rpos at 104, rvel at 128.
    struct Layout {
        int32_t type;
        int size;
        size_t mjd, rpos, rvel;
    };
    for (const Layout& l : {Layout{1, 640, 8, 80, 104}, Layout{2, 2304, 8, 104, 128}}) {
        std::vector<size_t> offsets = {l.mjd};
        for (size_t i = 0; i < 3; ++i) {
            offsets.push_back(l.rpos + 8 * i);
            offsets.push_back(l.rvel + 8 * i);
        }
        for (size_t offset : offsets) {
            for (double bad : {kNaN, kInf, -kInf}) {
                Bytes b(l.type, static_cast<size_t>(l.size));
                b.put<double>(l.mjd, now).put<double>(offset, bad);
                EXPECT_EQ(nullptr, Create(b)) << "type " << l.type << " offset " << offset;
            }
        }
        Bytes good(l.type, static_cast<size_t>(l.size));
        good.put<double>(l.mjd, now);
        EXPECT_NE(nullptr, Create(good)) << "type " << l.type;

        // A finite date so far away that carrying the position forward
        // overflows.
        Bytes far(l.type, static_cast<size_t>(l.size));
        far.put<double>(l.mjd, -1.0e305).put<double>(l.rvel, 1.0e10);
        EXPECT_EQ(nullptr, Create(far)) << "type " << l.type;
    }
}

TEST_F(HostileInput, TextMessageWithBadDateIsNoMessage) {
    for (double bad : {kNaN, kInf}) {
        Bytes b(6, 56);
        b.put<double>(8, bad);
        EXPECT_EQ(nullptr, Create(b));
    }
}

TEST_F(HostileInput, EveryValueAReceiverAppliesMustBeANumber) {
    const double now = oapiGetSimMJD();
    struct Field {
        int32_t type;
        size_t size;
        size_t offset;
        const char* what;
    };
    // Lists and animations are filled to their capacities, so that their last
    // entries are in use.
    const Field fields[] = {
        {1, 640, 80 + 48, "vrot"},
        {1, 640, 80 + 72, "arot"},
        {1, 640, 80 + 96, "fuel"},
        {1, 640, 80 + 112, "eng_hovr"},
        {2, 2304, 80 + 72, "vrot"},
        {2, 2304, 80 + 96, "arot"},
        {2, 2304, 80 + 136, "surf_hdg"},
        {2, 2304, 320 + 15 * 16 + 8, "last propellant level"},
        {2, 2304, 576 + 63 * 16 + 8, "last thruster level"},
        {3, 88, 40 + 5 * 8, "last control surface"},
        {4, 672, 336, "XR value"},
        {9, 176, 48 + 15 * 8, "last animation state"},
    };
    for (const Field& f : fields) {
        Bytes b(f.type, f.size);
        if (f.type == 1 || f.type == 2) b.put<double>(8, now);
        if (f.type == 2) b.put<uint32_t>(224, 16).put<uint32_t>(232, 64);
        if (f.type == 9) b.put<int32_t>(40, 16);
        EXPECT_NE(nullptr, Create(b)) << f.what << ": the record itself is fine";
        b.put<double>(f.offset, std::nan(""));
        EXPECT_EQ(nullptr, Create(b)) << f.what;
    }

    // Values outside the counts are not applied, so they are not judged.
    Bytes animation(9, 176);
    animation.put<int32_t>(40, 2).put<double>(48 + 5 * 8, kInf);
    EXPECT_NE(nullptr, Create(animation));
    // The surface position of a VESSELSTATUS counts only for a landed vessel.
    Bytes flying(1, 640);
    flying.put<double>(8, now).put<double>(80 + 136, kNaN);
    EXPECT_NE(nullptr, Create(flying));
    flying.put<int32_t>(80 + 132, 1);
    EXPECT_EQ(nullptr, Create(flying));
}

TEST_F(HostileInput, NumbersBeyondWhatASimulationHoldsAreRefused) {
    const double now = oapiGetSimMJD();
    // A finite speed of 1e308 m/s makes the next step's position infinite.
    struct Case {
        int32_t type;
        size_t size, offset;
        double bad, fine;
    };
    const Case cases[] = {
        {2, 2304, 128, 1e308, 1.1e4},  // velocity
        {2, 2304, 152, 1e304, 0.5},    // angular velocity
        {1, 640, 80, 1e20, 7.0e6},     // position
        {0, 32, 8, 1e300, 60000.0},    // date
        {0, 32, 16, 1e300, 100000.0},  // time acceleration
        {3, 88, 40, 1e300, -1.0},      // control surface
    };
    for (const Case& c : cases) {
        Bytes b(c.type, c.size);
        if (c.type == 1 || c.type == 2) b.put<double>(8, now);
        if (c.type == 0) b.put<double>(8, now).put<double>(16, 1.0);
        b.put<double>(c.offset, c.fine);
        EXPECT_NE(nullptr, Create(b)) << "type " << c.type << " offset " << c.offset;
        b.put<double>(c.offset, c.bad);
        EXPECT_EQ(nullptr, Create(b)) << "type " << c.type << " offset " << c.offset;
    }
}

TEST_F(HostileInput, DatesWhoseOffsetIsNoNumberAreRefused) {
    Bytes start(0, 32);
    start.put<double>(8, 1.0e305).put<double>(16, 1.0);
    EXPECT_EQ(nullptr, Create(start)) << "finite, but not a date offset in seconds";
    Bytes text(6, 56);
    text.put<double>(8, -1.0e305);
    EXPECT_EQ(nullptr, Create(text));
    start.put<double>(8, oapiGetSimMJD() + 1000.0);
    EXPECT_NE(nullptr, Create(start));
}

}  // namespace
