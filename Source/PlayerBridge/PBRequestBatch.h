// The requests of one refresh. A player that stops answering leaves every request waiting its
// whole time-out; within a batch only the first one waits: once a request has gone unanswered
// (no reply in time), the batch's later requests fail at once, as that one did. Batches nest;
// an inner batch starts out unanswered when its outer one is, and passes that on when it ends.
// Outside a batch every request waits as it always does. Main thread only.
#pragma once

class PBRequestBatch {
public:
    PBRequestBatch();
    ~PBRequestBatch();
    PBRequestBatch(const PBRequestBatch&) = delete;
    PBRequestBatch& operator=(const PBRequestBatch&) = delete;

    // A request of this batch went without a reply within its time-out.
    bool unanswered() const { return mUnanswered; }

    // For the bridge's sends: the batch in force, or null.
    static PBRequestBatch* current();
    void noteUnanswered() { mUnanswered = true; }

private:
    PBRequestBatch* mOuter;
    bool mUnanswered;
};
