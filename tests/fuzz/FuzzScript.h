// A fuzz input read as a script of what happens on the link and the host:
// one configuration byte, then events in order. Each event starts with a tag
// byte; its low two bits say what it is, the other six its argument:
//   0 datagram       argument: the sending peer; then a 16-bit little-endian
//                    length and that many bytes (cut to what the input has)
//   1 host step      argument: the step's length (kDurations)
//   2 clock advance  argument: how far the system clock moves, no step
//   3 key typed      argument: bit 0 release, bits 1-5 the scan code
// Reading stops at the end of the input or after kMaxEvents events; host
// steps after the first kMaxHostSteps are passed over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace fuzz {

// Step and clock lengths, seconds: around the modules' own intervals (a
// frame, the master's update interval, the slave's restart silence of 1 s,
// the master's client time-out of 3 s).
constexpr double kDurations[] = {0.0, 1.0 / 60.0, 0.04, 0.25, 0.9, 1.5, 3.5, 10.0};
constexpr int kDurationCount = sizeof kDurations / sizeof kDurations[0];
constexpr size_t kMaxEvents = 512;
constexpr size_t kMaxHostSteps = 64;

struct ScriptEvent {
    enum class Kind { kDatagram, kHostStep, kClockAdvance, kKey };
    Kind kind = Kind::kHostStep;
    int argument = 0;
    const uint8_t* bytes = nullptr;  // kDatagram
    size_t length = 0;               // kDatagram
    double seconds() const { return kDurations[argument % kDurationCount]; }
    int scanCode() const { return argument >> 1; }
    bool keyDown() const { return (argument & 1) == 0; }
};

class ScriptReader {
public:
    ScriptReader(const uint8_t* data, size_t size);
    uint8_t configuration() const { return configuration_; }
    bool next(ScriptEvent& event);

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
    size_t events_ = 0;
    size_t hostSteps_ = 0;
    uint8_t configuration_ = 0;
};

// Writes scripts in the same form (the seeds).
class ScriptWriter {
public:
    explicit ScriptWriter(uint8_t configuration) : bytes_{configuration} {}
    ScriptWriter& datagram(int peer, const void* bytes, size_t length);
    ScriptWriter& step(int duration = 1) { return tag(1, duration); }
    ScriptWriter& advance(int duration) { return tag(2, duration); }
    ScriptWriter& key(int scanCode, bool down) { return tag(3, (scanCode << 1) | (down ? 0 : 1)); }
    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    ScriptWriter& tag(int kind, int argument);
    std::vector<uint8_t> bytes_;
};

}  // namespace fuzz
