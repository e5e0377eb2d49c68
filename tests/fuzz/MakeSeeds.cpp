// Writes the fuzzers' seeds: one valid datagram of every type into the first
// folder, and the seed scripts of the slave and master sequence targets into
// the other two.
//   make_fuzz_seeds <datagram folder> [<slave script folder> <master script folder>]
#include <cstdio>
#include <string>
#include <vector>

#include "SeedMessages.h"
#include "SequenceSeeds.h"
#include "WireRecords.h"

namespace {

bool Write(const std::string& folder, const std::string& name, const seeds::Bytes& bytes) {
    const std::string path = folder + "/" + name + ".bin";
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

bool WriteDatagrams(const std::string& folder) {
    using namespace seeds;
    const double mjd = 60000.0;
    const std::vector<Script> datagrams = {
        {"hello", Header(wire::kHello, 0)},
        {"ack", Header(wire::kAck, 0)},
        {"end", Header(wire::kEnd, 0)},
        {"start", Start(0, mjd)},
        {"vessel", Vessel(0, mjd, "Alpha", "FuzzShip", true)},
        {"vessel2", Vessel2(0, mjd, "Beta", "FuzzShip", "Alpha")},
        {"airfoil", Airfoil(0, "Alpha")},
        {"xr", XR(0, "Alpha")},
        {"focus", Focus(0, "Beta")},
        {"text", Text(0, mjd, "Alpha", "GEAR 1\nDOOR 0 0.5")},
        {"keyboard", Keyboard(0, 1)},
        {"extra", Extra(0, "Alpha")},
        {"animation", Animation(0, "Alpha", 3)},
    };
    bool ok = true;
    for (const Script& d : datagrams) ok &= Write(folder, d.first, d.second);
    return ok;
}

bool WriteScripts(const std::string& folder, const std::vector<seeds::Script>& scripts) {
    bool ok = true;
    for (const seeds::Script& s : scripts) ok &= Write(folder, s.first, s.second);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 4) {
        std::fprintf(stderr, "usage: %s <datagram folder> [<slave script folder> <master script folder>]\n", argv[0]);
        return 2;
    }
    bool ok = WriteDatagrams(argv[1]);
    if (argc == 4)
        ok = WriteScripts(argv[2], seeds::SlaveScripts()) && WriteScripts(argv[3], seeds::MasterScripts()) && ok;
    if (!ok) std::fprintf(stderr, "could not write the seeds\n");
    return ok ? 0 : 1;
}
