// Counts what the C++ heap hands out, process-wide: the benchmark binaries
// replace the global operator new and delete with counting ones.
#pragma once

#include <cstdint>

namespace bench {

struct HeapCounts {
    uint64_t allocations = 0;
    uint64_t bytesRequested = 0;
    int64_t liveBytes = 0;  // usable bytes of blocks not yet freed
};

HeapCounts HeapSnapshot();

// What one region of code did to the heap: snapshot before, subtract after.
struct HeapDelta {
    uint64_t allocations = 0;
    uint64_t bytesRequested = 0;
    int64_t growth = 0;  // live bytes after minus before

    HeapDelta& operator+=(const HeapDelta& other) {
        allocations += other.allocations;
        bytesRequested += other.bytesRequested;
        growth += other.growth;
        return *this;
    }
};

inline HeapDelta operator-(const HeapCounts& after, const HeapCounts& before) {
    return HeapDelta{after.allocations - before.allocations, after.bytesRequested - before.bytesRequested,
                     after.liveBytes - before.liveBytes};
}

}  // namespace bench
