// The requests of one refresh or command. A player that stops answering, or answers slowly,
// would leave every request waiting up to its whole time-out; a batch instead has one budget of
// waiting, a request's time-out: each request waits at most what is left of it, and once it is
// spent (by one unanswered request or by several slow ones) the batch's later requests fail at
// once, as a time-out does. Batches nest; an inner batch shares its outer one's budget and
// passes back what it spent. Outside a batch every request waits as it always does. Main
// thread only.
#pragma once

#include "platform/Carbon/MacTypes.h"

class PBRequestBatch {
public:
    // The waiting a batch may spend, in ticks: one request's time-out.
    static constexpr UInt32 kBudgetTicks = 120;

    PBRequestBatch();
    ~PBRequestBatch();
    PBRequestBatch(const PBRequestBatch&) = delete;
    PBRequestBatch& operator=(const PBRequestBatch&) = delete;

    // A request of this batch went without a reply within its time-out, or its budget is spent.
    bool unanswered() const { return mUnanswered; }
    // Ticks the batch's next request may still wait.
    UInt32 remainingTicks() const { return mWaited >= kBudgetTicks ? 0 : kBudgetTicks - mWaited; }

    // For the bridge's sends: the batch in force, or null.
    static PBRequestBatch* current();
    void noteUnanswered() { mUnanswered = true; }
    // A request of the batch waited this long; the budget's end makes the batch unanswered.
    void noteWaited(UInt32 ticks);

private:
    PBRequestBatch* mOuter;
    bool mUnanswered;
    UInt32 mWaited;
};
