#include "SnapshotJson.h"

#include "LinkText.h"
#include "StatusScreen.h"

namespace {

std::string Keys(const std::vector<wire::KeyEvent>& keys) {
    std::string text;
    for (const wire::KeyEvent& key : keys) {
        text += text.empty() ? "[" : ", ";
        text += "{\"key\": " + JsonString(KeyName(key)) + ", \"scan_code\": " + std::to_string(key.scanCode) +
                ", \"release\": " + (key.release ? "true" : "false") +
                ", \"alt\": " + (key.altHeld ? "true" : "false") + "}";
    }
    return text.empty() ? "[]" : text + "]";
}

std::string Carries(unsigned carries) {
    std::string names = CarriedKinds(carries);
    std::string text = "[";
    size_t start = 0;
    while (start < names.size()) {
        size_t end = names.find(' ', start);
        if (end == std::string::npos) end = names.size();
        text += (text.size() > 1 ? ", " : "") + JsonString(names.substr(start, end - start));
        start = end + 1;
    }
    return text + "]";
}

std::string Vessel(const VesselRow& v) {
    JsonMembers m("      ");
    m.add("name", JsonString(v.name))
        .add("class", JsonString(v.className))
        .add("interface", JsonString(v.interfaceVersion))
        .add("body", JsonString(v.body))
        .add("landed", v.landed ? "true" : "false")
        .add("base", JsonString(v.base))
        .add("altitude_m", v.altitudeKnown && !v.landed ? JsonNumber(v.altitude) : "null")
        .add("distance_m", JsonNumber(v.distance))
        .add("speed_m_s", JsonNumber(v.speed))
        .add("carries", Carries(v.carries))
        .add("last_keys", Keys(v.lastKeys));
    return m.object("    ");
}

}  // namespace

std::string SnapshotJson(const LinkSnapshot& s) {
    const LinkFigures& f = s.link;
    JsonMembers link("    ");
    link.add("updates_per_second", JsonNumber(f.updatesPerSecond))
        .add("datagrams_per_update", JsonNumber(f.datagramsPerUpdate))
        .add("bytes_per_update", JsonNumber(f.bytesPerUpdate))
        .add("spacing_ms", JsonNumber(f.spacingMs))
        .add("jitter_ms", JsonNumber(f.jitterMs))
        .add("datagrams", JsonInteger(f.datagrams))
        .add("bytes", JsonInteger(f.bytes))
        .add("updates", JsonInteger(f.updates))
        .add("incomplete_updates", JsonInteger(f.incompleteUpdates))
        .add("lost", JsonInteger(f.lost))
        .add("lost_percent", JsonNumber(f.lostPercent))
        .add("duplicates", JsonInteger(f.duplicates))
        .add("reordered", JsonInteger(f.reordered))
        .add("too_old", JsonInteger(f.tooOld))
        .add("restarts", JsonInteger(f.restarts))
        .add("seconds_since_last_message",
             f.secondsSinceLastMessage < 0.0 ? "null" : JsonNumber(f.secondsSinceLastMessage))
        .add("acknowledgements", JsonInteger(s.acknowledgements));

    JsonMembers ignored("    ");
    ignored.add("foreign", JsonInteger(s.ignored.foreign))
        .add("not_messages", JsonInteger(s.ignored.notMessages))
        .add("last_reason",
             s.ignored.notMessages > 0 ? JsonString(wire::RejectionText(s.ignored.lastRejection)) : "null");

    std::string simulation = "null";
    if (s.simulation.known) {
        JsonMembers sim("    ");
        sim.add("mjd", JsonNumber(s.simulation.mjd))
            .add("date_utc", JsonString(MjdText(s.simulation.mjd)))
            .add("time_acceleration", JsonNumber(s.simulation.timeAcceleration))
            .add("step_s", JsonNumber(s.simulation.stepSeconds))
            .add("focus", JsonString(s.simulation.focus));
        simulation = sim.object("  ");
    }

    std::vector<std::string> vessels;
    for (const VesselRow& v : s.vessels) vessels.push_back(Vessel(v));

    JsonMembers top("  ");
    top.add("master", JsonString(s.master))
        .add("watched_s", JsonNumber(s.watchedSeconds))
        .add("link", link.object("  "))
        .add("ignored", ignored.object("  "))
        .add("simulation", simulation)
        .add("vessels", JsonArray(vessels, "  "));
    return top.object("") + "\n";
}
