// The fault tools' random numbers: small, fast and the same on every
// platform, so that a printed seed repeats a run.
#pragma once

#include <cstdint>

namespace faulttools {

class SplitMix64 {
public:
    explicit SplitMix64(uint64_t seed) : state_(seed) {}
    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }  // [0, 1)

private:
    uint64_t state_;
};

}  // namespace faulttools
