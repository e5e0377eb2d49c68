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
    m.Add("name", JsonString(v.name))
        .Add("class", JsonString(v.className))
        .Add("interface", JsonString(v.interfaceVersion))
        .Add("body", JsonString(v.body))
        .Add("landed", v.landed ? "true" : "false")
        .Add("base", JsonString(v.base))
        .Add("altitude_m", v.altitudeKnown && !v.landed ? JsonNumber(v.altitude) : "null")
        .Add("distance_m", JsonNumber(v.distance))
        .Add("speed_m_s", JsonNumber(v.speed))
        .Add("carries", Carries(v.carries))
        .Add("last_keys", Keys(v.lastKeys));
    return m.Object("    ");
}

}  // namespace

std::string SnapshotJson(const LinkSnapshot& s) {
    const LinkFigures& f = s.link;
    JsonMembers link("    ");
    link.Add("updates_per_second", JsonNumber(f.updatesPerSecond))
        .Add("datagrams_per_update", JsonNumber(f.datagramsPerUpdate))
        .Add("bytes_per_update", JsonNumber(f.bytesPerUpdate))
        .Add("spacing_ms", JsonNumber(f.spacingMs))
        .Add("jitter_ms", JsonNumber(f.jitterMs))
        .Add("datagrams", JsonInteger(f.datagrams))
        .Add("bytes", JsonInteger(f.bytes))
        .Add("updates", JsonInteger(f.updates))
        .Add("incomplete_updates", JsonInteger(f.incompleteUpdates))
        .Add("lost", JsonInteger(f.lost))
        .Add("lost_percent", JsonNumber(f.lostPercent))
        .Add("duplicates", JsonInteger(f.duplicates))
        .Add("reordered", JsonInteger(f.reordered))
        .Add("too_old", JsonInteger(f.tooOld))
        .Add("restarts", JsonInteger(f.restarts))
        .Add("seconds_since_last_message",
             f.secondsSinceLastMessage < 0.0 ? "null" : JsonNumber(f.secondsSinceLastMessage))
        .Add("acknowledgements", JsonInteger(s.acknowledgements));

    JsonMembers ignored("    ");
    ignored.Add("foreign", JsonInteger(s.ignored.foreign))
        .Add("not_messages", JsonInteger(s.ignored.notMessages))
        .Add("last_reason",
             s.ignored.notMessages > 0 ? JsonString(wire::RejectionText(s.ignored.lastRejection)) : "null");

    std::string simulation = "null";
    if (s.simulation.known) {
        JsonMembers sim("    ");
        sim.Add("mjd", JsonNumber(s.simulation.mjd))
            .Add("date_utc", JsonString(MjdText(s.simulation.mjd)))
            .Add("time_acceleration", JsonNumber(s.simulation.timeAcceleration))
            .Add("step_s", JsonNumber(s.simulation.stepSeconds))
            .Add("focus", JsonString(s.simulation.focus));
        simulation = sim.Object("  ");
    }

    std::vector<std::string> vessels;
    for (const VesselRow& v : s.vessels) vessels.push_back(Vessel(v));

    JsonMembers top("  ");
    top.Add("master", JsonString(s.master))
        .Add("watched_s", JsonNumber(s.watchedSeconds))
        .Add("link", link.Object("  "))
        .Add("ignored", ignored.Object("  "))
        .Add("simulation", simulation)
        .Add("vessels", JsonArray(vessels, "  "));
    return top.Object("") + "\n";
}
