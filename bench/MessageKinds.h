// The kinds of message an update carries for each vessel, as the benchmark
// tables name them.
#pragma once

namespace bench {

enum class Kind { kState, kExtra, kAirfoil, kAnimation, kXR, kText };

}  // namespace bench
