// Writes one valid datagram of every type into a folder: the fuzzer's seeds.
//   make_fuzz_seeds <folder>
#include <cstdio>
#include <memory>
#include <string>

#include "Message.h"
#include "WireCodec.h"

namespace {

bool Write(const std::string& folder, const char* name, const Message& message) {
    const std::string path = folder + "/" + name + ".bin";
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const size_t length = static_cast<size_t>(message.size());
    const bool ok = std::fwrite(message.payload(), 1, length, file) == length;
    return std::fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    const double mjd = 60000.0;
    bool ok = true;

    ok &= Write(folder, "hello", HelloMessage());
    ok &= Write(folder, "ack", AckMessage());
    ok &= Write(folder, "end", EndMessage());

    StartMessage start;
    start.record().mjd = mjd;
    start.record().timeAccel = 1.0;
    start.record().simStep = 0.02;
    ok &= Write(folder, "start", start);

    VesselMessage vessel;
    vessel.record().mjd = mjd;
    wire::CopyName(vessel.record().vesselName, "Alpha");
    wire::CopyName(vessel.record().className, "FuzzShip");
    vessel.record().status.rpos = {7.0e6, 0.0, 0.0};
    vessel.record().status.rvel = {0.0, 7.5e3, 0.0};
    vessel.record().status.rbody = 1;
    vessel.record().status.base = 2;
    wire::CopyName(vessel.record().rbodyName, "Earth");
    wire::CopyName(vessel.record().baseName, "Cape");
    ok &= Write(folder, "vessel", vessel);

    std::unique_ptr<Vessel2Message> vessel2(new Vessel2Message);
    wire::Vessel2Record& v2 = vessel2->record();
    v2.mjd = mjd;
    wire::CopyName(v2.vesselName, "Beta");
    wire::CopyName(v2.className, "FuzzShip");
    v2.status2.version = 2;
    v2.status2.flag = 0x1A;
    v2.status2.rbody = 1;
    v2.status2.rpos = {7.0e6, 0.0, 0.0};
    v2.status2.rvel = {0.0, 7.5e3, 0.0};
    wire::CopyName(v2.rbodyName, "Earth");
    v2.status2.nfuel = 2;
    v2.fuelLevels[1] = {1, 0, 0.5};
    v2.status2.nthruster = 3;
    v2.thrusterLevels[2] = {2, 0, 1.0};
    v2.status2.ndockinfo = 2;
    v2.dockInfo[1] = {1, 0, 7};
    wire::CopyName(v2.dockVesselNames[1], "Alpha");
    ok &= Write(folder, "vessel2", *vessel2);

    AirfoilMessage airfoil;
    wire::CopyName(airfoil.record().vesselName, "Alpha");
    airfoil.record().surfaceLevels[0] = 0.25;
    ok &= Write(folder, "airfoil", airfoil);

    XRMessage xr;
    wire::CopyName(xr.record().vesselName, "Alpha");
    xr.record().xrStates[12] = 1;
    ok &= Write(folder, "xr", xr);

    FocusMessage focus;
    wire::CopyName(focus.record().vesselName, "Beta");
    ok &= Write(folder, "focus", focus);

    std::unique_ptr<VesselStateMessage> text(new VesselStateMessage);
    text->record().mjd = mjd;
    wire::CopyName(text->record().vesselName, "Alpha");
    const char lines[] = "GEAR 1\nDOOR 0 0.5";
    text->record().textLength = static_cast<int32_t>(sizeof lines - 1);
    std::memcpy(text->record().text, lines, sizeof lines - 1);
    ok &= Write(folder, "text", *text);

    KeyboardMessage keys;
    keys.record().keyCount = 2;
    keys.record().keys[0] = {0, 0x41, 0x001E0001};
    keys.record().keys[1] = {0, 0x41, static_cast<int32_t>(0xC01E0001u)};
    ok &= Write(folder, "keyboard", keys);

    VesselExtraMessage extra;
    wire::CopyName(extra.record().vesselName, "Alpha");
    extra.record().navmodeBits = 0x02;
    extra.record().navChannels[0] = 600;
    ok &= Write(folder, "extra", extra);

    AnimationMessage animation;
    wire::CopyName(animation.record().vesselName, "Alpha");
    animation.record().animCount = 3;
    animation.record().animStates[2] = 0.75;
    ok &= Write(folder, "animation", animation);

    if (!ok) std::fprintf(stderr, "could not write the seeds into %s\n", folder.c_str());
    return ok ? 0 : 1;
}
