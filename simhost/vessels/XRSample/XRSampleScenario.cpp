// The XR sample's own scenario lines, after the default state lines:
//   XR_PART <index> <position> <target> <rate> <state> <flags>   (one per part)
//   XR_CODES <15 integers>
//   XR_SYSTEMS <29 numbers>
//   XR_BYTES <3 digits 0/1>
//   XR_VALUE <number>
//   XR_AB <0/1> <0/1>
// Numbers are written so that a save reads back exactly.
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>

#include "XRSample.h"

namespace {

void writeItem(FILEHANDLE scn, const char* tag, const std::string& value) {
    char item[32];
    std::snprintf(item, sizeof item, "%s", tag);
    std::string text = value;
    oapiWriteScenario_string(scn, item, &text[0]);
}

// The shortest text that reads back as the same double.
std::string number(double v) {
    char buffer[40];
    const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, v);
    return std::string(buffer, r.ptr);
}

// Reads `count` numbers from `text`; false when fewer are there.
bool readNumbers(const char* text, double* out, int count) {
    const char* p = text;
    for (int i = 0; i < count; ++i) {
        char* end = nullptr;
        out[i] = std::strtod(p, &end);
        if (end == p) return false;
        p = end;
    }
    return true;
}

// Integers are read as numbers; anything out of range (or not a number) reads as 0.
int32_t toInt32(double v) { return (v >= -2147483648.0 && v <= 2147483647.0) ? static_cast<int32_t>(v) : 0; }

// The value part of "TAG value..." when the line's tag is `tag` (any case).
const char* valueOf(const char* line, const char* tag) {
    const size_t n = std::strlen(tag);
    if (strncasecmp(line, tag, n) != 0) return nullptr;
    if (line[n] != ' ' && line[n] != '\t' && line[n] != '\0') return nullptr;
    return line + n;
}

}  // namespace

void XRSampleScenario::Save(const XRSample& v, FILEHANDLE scn) {
    for (int i = 0; i < XRSample::kPartCount; ++i) {
        const XRPartRecord& p = v.parts_[i];
        writeItem(scn, "XR_PART",
                  std::to_string(i) + " " + number(p.position) + " " + number(p.target) + " " + number(p.rate) + " " +
                      std::to_string(p.state) + " " + std::to_string(p.flags));
    }
    std::string codes;
    for (int i = 0; i < XRSample::kStateCodeCount; ++i) codes += (i ? " " : "") + std::to_string(v.stateCodes_[i]);
    writeItem(scn, "XR_CODES", codes);
    std::string systems;
    for (int i = 0; i < 29; ++i) systems += (i ? " " : "") + number(v.systems_.values[i]);
    writeItem(scn, "XR_SYSTEMS", systems);
    std::string bytes;
    for (int i = 0; i < XRSample::kByteStateCount; ++i)
        bytes += (i ? " " : "") + std::to_string(v.byteStates_[i] ? 1 : 0);
    writeItem(scn, "XR_BYTES", bytes);
    writeItem(scn, "XR_VALUE", number(v.value_));
    writeItem(scn, "XR_AB", std::string(v.byteA_ ? "1" : "0") + " " + (v.byteB_ ? "1" : "0"));
}

bool XRSampleScenario::ParseLine(XRSample& v, const char* line) {
    const char* rest = nullptr;
    double n[29];
    if ((rest = valueOf(line, "XR_PART"))) {
        // A malformed line is still ours: it is dropped, not passed on.
        if (readNumbers(rest, n, 6)) {
            if (n[0] >= 0.0 && n[0] < XRSample::kPartCount) {
                XRPartRecord& p = v.parts_[static_cast<int>(n[0])];
                p.position = n[1];
                p.target = n[2];
                p.rate = n[3];
                p.state = toInt32(n[4]);
                p.flags = toInt32(n[5]);
            }
        }
        return true;
    }
    if ((rest = valueOf(line, "XR_CODES"))) {
        if (readNumbers(rest, n, XRSample::kStateCodeCount)) {
            for (int i = 0; i < XRSample::kStateCodeCount; ++i) v.stateCodes_[i] = toInt32(n[i]);
        }
        return true;
    }
    if ((rest = valueOf(line, "XR_SYSTEMS"))) {
        if (readNumbers(rest, n, 29)) {
            for (int i = 0; i < 29; ++i) v.systems_.values[i] = n[i];
        }
        return true;
    }
    if ((rest = valueOf(line, "XR_BYTES"))) {
        if (readNumbers(rest, n, XRSample::kByteStateCount)) {
            for (int i = 0; i < XRSample::kByteStateCount; ++i) v.byteStates_[i] = n[i] != 0.0;
        }
        return true;
    }
    if ((rest = valueOf(line, "XR_VALUE"))) {
        if (readNumbers(rest, n, 1)) v.value_ = n[0];
        return true;
    }
    if ((rest = valueOf(line, "XR_AB"))) {
        if (readNumbers(rest, n, 2)) {
            v.byteA_ = n[0] != 0.0;
            v.byteB_ = n[1] != 0.0;
        }
        return true;
    }
    return false;
}
