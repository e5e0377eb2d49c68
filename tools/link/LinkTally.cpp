#include "LinkTally.h"

#include <cmath>

#include "WireRecords.h"

namespace {

int64_t Ahead(int32_t newer, int32_t older) {
    return static_cast<int32_t>(static_cast<uint32_t>(newer) - static_cast<uint32_t>(older));
}

}  // namespace

LinkTally::Verdict LinkTally::Take(int32_t seq, int32_t type, int length, double now) {
    if (firstMessageTime_ < 0.0) firstMessageTime_ = now;
    lastMessageTime_ = now;
    ++totals_.datagrams;
    totals_.bytes += length;
    ForgetBefore(now);

    // The slave's rule of what is taken in, and of a master numbering afresh.
    const MasterTakeIn::Outcome taken = takeIn_.Take(seq, type, now);
    if (taken.restarted) {
        ++totals_.restarts;
        open_ = false;
    }
    switch (taken.verdict) {
        case MasterTakeIn::Verdict::kDuplicate:
            ++totals_.duplicates;
            return Verdict::kDuplicate;
        case MasterTakeIn::Verdict::kTooOld:
            ++totals_.tooOld;
            return Verdict::kTooOld;
        case MasterTakeIn::Verdict::kLate:
            CountNumber(taken);
            return Verdict::kLate;
        case MasterTakeIn::Verdict::kFresh:
            break;
        case MasterTakeIn::Verdict::kForeign:
        case MasterTakeIn::Verdict::kNotMessage:
            // Screened out before a number is judged (MasterSubscription).
            break;
    }
    CountNumber(taken);
    CountUpdate(seq, type, length, now);
    return Verdict::kFresh;
}

void LinkTally::CountNumber(const MasterTakeIn::Outcome& taken) {
    if (taken.first) {
        ++numbersSpanned_;
    } else if (taken.fillsGap) {
        // A late number fills a gap counted as lost.
        ++totals_.reordered;
        if (totals_.lost > 0) --totals_.lost;
    } else {
        totals_.lost += taken.skipped;
        numbersSpanned_ += taken.skipped + 1;
    }
}

void LinkTally::CountUpdate(int32_t seq, int32_t type, int length, double now) {
    if (type == wire::kStart) {
        if (lastStartTime_ >= 0.0) recentSpacings_.push_back({now, now - lastStartTime_});
        lastStartTime_ = now;
        open_ = true;
        openStartSeq_ = seq;
        openDatagrams_ = 1;
        openBytes_ = length;
        return;
    }
    // Only numbers from the open update's start on belong to it (a late key
    // event of an older update does not).
    const bool inOpenUpdate = open_ && !SequenceAfter(openStartSeq_, seq);
    if (inOpenUpdate) {
        ++openDatagrams_;
        openBytes_ += length;
    }
    if (type != wire::kEnd) return;
    ++totals_.updates;
    if (!inOpenUpdate) {
        // Its start never arrived: it counts, but its size is unknown.
        ++totals_.incompleteUpdates;
        recentUpdates_.push_back({now, false, 0, 0});
        return;
    }
    if (Ahead(seq, openStartSeq_) + 1 != openDatagrams_) ++totals_.incompleteUpdates;
    recentUpdates_.push_back({now, true, openDatagrams_, openBytes_});
    open_ = false;
}

void LinkTally::ForgetBefore(double now) {
    while (!recentUpdates_.empty() && now - recentUpdates_.front().end > kRecentSeconds) recentUpdates_.pop_front();
    while (!recentSpacings_.empty() && now - recentSpacings_.front().at > kRecentSeconds) recentSpacings_.pop_front();
}

LinkFigures LinkTally::Figures(double now) const {
    LinkFigures f = totals_;
    if (numbersSpanned_ > 0) f.lostPercent = 100.0 * static_cast<double>(f.lost) / static_cast<double>(numbersSpanned_);
    if (lastMessageTime_ >= 0.0) f.secondsSinceLastMessage = now - lastMessageTime_;

    int64_t ended = 0;
    int64_t sized = 0;
    double datagrams = 0.0;
    double bytes = 0.0;
    double first = 0.0;
    double last = 0.0;
    for (const Update& update : recentUpdates_) {
        if (now - update.end > kRecentSeconds) continue;
        if (ended == 0) first = update.end;
        last = update.end;
        ++ended;
        if (!update.sized) continue;
        ++sized;
        datagrams += update.datagrams;
        bytes += static_cast<double>(update.bytes);
    }
    // Once the window is full, the updates in it over its length (so a
    // master that stops shows its rate falling); before that, from the
    // intervals seen so far.
    if (firstMessageTime_ >= 0.0 && now - firstMessageTime_ >= kRecentSeconds) {
        f.updatesPerSecond = static_cast<double>(ended) / kRecentSeconds;
    } else if (ended >= 2 && last > first) {
        f.updatesPerSecond = static_cast<double>(ended - 1) / (last - first);
    }
    if (sized > 0) {
        f.datagramsPerUpdate = datagrams / static_cast<double>(sized);
        f.bytesPerUpdate = bytes / static_cast<double>(sized);
    }

    int64_t spacings = 0;
    double sum = 0.0;
    double squareSum = 0.0;
    for (const Spacing& spacing : recentSpacings_) {
        if (now - spacing.at > kRecentSeconds) continue;
        ++spacings;
        sum += spacing.seconds;
        squareSum += spacing.seconds * spacing.seconds;
    }
    if (spacings > 0) {
        const double mean = sum / static_cast<double>(spacings);
        // Rounding can leave a tiny negative variance for equal spacings.
        const double variance = std::fmax(0.0, squareSum / static_cast<double>(spacings) - mean * mean);
        f.spacingMs = 1000.0 * mean;
        f.jitterMs = 1000.0 * std::sqrt(variance);
    }
    return f;
}
