// Replay protection for one peer of the trunk. A peer's datagrams carry its
// run (drawn at its start) and a counter; of the current run each counter
// is taken once, within a window of the newest; runs left behind are never
// taken again, so neither a copy nor a recording of an earlier run gets
// through, whatever its tag says.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace trunk {

class PeerRun {
public:
    // Counters this far behind the newest are judged; older ones are refused.
    static constexpr uint64_t kWindow = 1024;
    static constexpr size_t kRetiredRuns = 16;

    PeerRun() : seen_(kWindow / 64, 0) {}

    uint64_t Run() const { return run_; }
    bool Known() const { return run_ != 0; }
    bool Retired(uint64_t run) const;
    // Whether this counter of the current run has not been taken yet.
    bool Fresh(uint64_t counter) const;
    void Take(uint64_t counter);
    // A new current run; the one before it is retired.
    void SwitchTo(uint64_t run);

private:
    uint64_t run_ = 0;
    uint64_t newest_ = 0;         // 0: no counter taken yet
    std::vector<uint64_t> seen_;  // bit (counter % kWindow)
    std::deque<uint64_t> retired_;
};

}  // namespace trunk
