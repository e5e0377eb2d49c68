#include "StatusScreen.h"

#include <vector>

#include "LinkText.h"
#include "TextLayout.h"

namespace {

std::string Place(const VesselRow& v) {
    if (v.landed) return v.base.empty() ? "landed" : "landed, " + v.base;
    if (v.altitudeKnown) return Format("%.1f km", v.altitude / 1000.0);
    return Format("%.1f km from centre", v.distance / 1000.0);
}

std::string Keys(const VesselRow& v) {
    std::string text;
    for (const wire::KeyEvent& key : v.lastKeys) text += (text.empty() ? "" : ", ") + KeyText(key);
    return text;
}

std::string LinkLines(const LinkSnapshot& s) {
    const LinkFigures& f = s.link;
    std::string text;
    text +=
        Format("link     %.1f updates/s   %.1f datagrams, %s per update   spacing %.1f ms, jitter %.1f ms\n",
               f.updatesPerSecond, f.datagramsPerUpdate, SizeText(f.bytesPerUpdate).c_str(), f.spacingMs, f.jitterMs);
    text += Format(
        "numbers  %lld received (%s)   lost %lld (%.2f %%)   duplicates %lld   reordered %lld   "
        "incomplete updates %lld of %lld\n",
        static_cast<long long>(f.datagrams), SizeText(static_cast<double>(f.bytes)).c_str(),
        static_cast<long long>(f.lost), f.lostPercent, static_cast<long long>(f.duplicates),
        static_cast<long long>(f.reordered), static_cast<long long>(f.incompleteUpdates),
        static_cast<long long>(f.updates));
    std::string ignored =
        Format("ignored  %lld from other senders, %lld not messages", static_cast<long long>(s.ignored.foreign),
               static_cast<long long>(s.ignored.notMessages));
    if (s.ignored.notMessages > 0) ignored += Format(" (last: %s)", wire::RejectionText(s.ignored.lastRejection));
    if (f.restarts > 0) ignored += Format("   master restarts %lld", static_cast<long long>(f.restarts));
    return text + ignored + "\n";
}

std::string MasterLine(const LinkSnapshot& s) {
    const SimulationFacts& sim = s.simulation;
    if (!sim.known) return "master   no update yet\n";
    return Format("master   MJD %.6f (%s UTC)   time x%g   step %.1f ms   focus %s\n", sim.mjd,
                  MjdText(sim.mjd).c_str(), sim.timeAcceleration, 1000.0 * sim.stepSeconds,
                  sim.focus.empty() ? "-" : sim.focus.c_str());
}

}  // namespace

std::string CarriedKinds(unsigned carries) {
    static const struct {
        unsigned bit;
        const char* name;
    } kNames[] = {{kCarriesExtra, "extra"},
                  {kCarriesAirfoil, "airfoil"},
                  {kCarriesAnimation, "animation"},
                  {kCarriesText, "text"},
                  {kCarriesXR, "XR"}};
    std::string text;
    for (const auto& kind : kNames) {
        if (carries & kind.bit) text += (text.empty() ? "" : " ") + std::string(kind.name);
    }
    return text;
}

std::string StatusScreen(const LinkSnapshot& s, const std::string& title) {
    std::string text = Format("%s   master %s   watching %.0f s   (one client of the master)\n", title.c_str(),
                              s.master.c_str(), s.watchedSeconds);
    if (s.link.secondsSinceLastMessage < 0.0) {
        text += "waiting: no message from the master yet (a Hello goes out every second)\n";
    } else if (s.link.secondsSinceLastMessage > 1.0) {
        text += Format("silent: no message from the master for %.1f s\n", s.link.secondsSinceLastMessage);
    }
    text += "\n" + LinkLines(s) + MasterLine(s) + "\n";

    std::vector<std::vector<std::string>> rows{
        {"vessel", "class", "if", "body", "altitude", "speed", "carries", "last keys"}};
    for (const VesselRow& v : s.vessels) {
        rows.push_back({v.name, v.className, v.interfaceVersion, v.body.empty() ? "-" : v.body, Place(v),
                        Format("%.1f m/s", v.speed), CarriedKinds(v.carries), Keys(v)});
    }
    text += TextTable(rows);
    if (s.vessels.empty()) text += "(no vessel yet)\n";
    return text;
}
