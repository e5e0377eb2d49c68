#include "SnapshotJson.h"

#include <cmath>
#include <cstdio>

#include "LinkText.h"
#include "StatusScreen.h"

namespace {

std::string Number(double value) {
    if (!std::isfinite(value)) return "null";
    char text[40];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

std::string Integer(int64_t value) { return std::to_string(value); }

// Members of one object, one per line at the given indent.
class Members {
public:
    explicit Members(std::string indent) : indent_(std::move(indent)) {}
    Members& add(const char* key, const std::string& json) {
        text_ += (text_.empty() ? "" : ",\n") + indent_ + JsonString(key) + ": " + json;
        return *this;
    }
    std::string object(const std::string& closingIndent) const { return "{\n" + text_ + "\n" + closingIndent + "}"; }

private:
    std::string indent_;
    std::string text_;
};

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
    Members m("      ");
    m.add("name", JsonString(v.name))
        .add("class", JsonString(v.className))
        .add("interface", JsonString(v.interfaceVersion))
        .add("body", JsonString(v.body))
        .add("landed", v.landed ? "true" : "false")
        .add("base", JsonString(v.base))
        .add("altitude_m", v.altitudeKnown && !v.landed ? Number(v.altitude) : "null")
        .add("distance_m", Number(v.distance))
        .add("speed_m_s", Number(v.speed))
        .add("carries", Carries(v.carries))
        .add("last_keys", Keys(v.lastKeys));
    return m.object("    ");
}

}  // namespace

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string SnapshotJson(const LinkSnapshot& s) {
    const LinkFigures& f = s.link;
    Members link("    ");
    link.add("updates_per_second", Number(f.updatesPerSecond))
        .add("datagrams_per_update", Number(f.datagramsPerUpdate))
        .add("bytes_per_update", Number(f.bytesPerUpdate))
        .add("spacing_ms", Number(f.spacingMs))
        .add("jitter_ms", Number(f.jitterMs))
        .add("datagrams", Integer(f.datagrams))
        .add("bytes", Integer(f.bytes))
        .add("updates", Integer(f.updates))
        .add("incomplete_updates", Integer(f.incompleteUpdates))
        .add("lost", Integer(f.lost))
        .add("lost_percent", Number(f.lostPercent))
        .add("duplicates", Integer(f.duplicates))
        .add("reordered", Integer(f.reordered))
        .add("too_old", Integer(f.tooOld))
        .add("restarts", Integer(f.restarts))
        .add("seconds_since_last_message", f.secondsSinceLastMessage < 0.0 ? "null" : Number(f.secondsSinceLastMessage))
        .add("acknowledgements", Integer(s.acknowledgements));

    Members ignored("    ");
    ignored.add("foreign", Integer(s.ignored.foreign))
        .add("not_messages", Integer(s.ignored.notMessages))
        .add("last_reason",
             s.ignored.notMessages > 0 ? JsonString(wire::RejectionText(s.ignored.lastRejection)) : "null");

    std::string simulation = "null";
    if (s.simulation.known) {
        Members sim("    ");
        sim.add("mjd", Number(s.simulation.mjd))
            .add("date_utc", JsonString(MjdText(s.simulation.mjd)))
            .add("time_acceleration", Number(s.simulation.timeAcceleration))
            .add("step_s", Number(s.simulation.stepSeconds))
            .add("focus", JsonString(s.simulation.focus));
        simulation = sim.object("  ");
    }

    std::string vessels;
    for (const VesselRow& v : s.vessels) vessels += (vessels.empty() ? "[\n    " : ",\n    ") + Vessel(v);
    vessels = vessels.empty() ? "[]" : vessels + "\n  ]";

    Members top("  ");
    top.add("master", JsonString(s.master))
        .add("watched_s", Number(s.watchedSeconds))
        .add("link", link.object("  "))
        .add("ignored", ignored.object("  "))
        .add("simulation", simulation)
        .add("vessels", vessels);
    return top.object("") + "\n";
}
