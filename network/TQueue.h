// A first-in-first-out queue of links. It owns nothing and takes no lock: destroying it leaves
// its items alone, and the caller serialises access.
#pragma once

#include "network/TLink.h"
#include "platform/Carbon/MacTypes.h"

class TQueue {
public:
    using ForEachFunction = void (*)(TLink* link, void* context);

    TQueue() = default;
    virtual ~TQueue() = default;
    TQueue(const TQueue&) = delete;
    TQueue& operator=(const TQueue&) = delete;

    virtual SInt32 GetSize() const { return fCount; }
    virtual bool IsEmpty() const { return fCount == 0; }
    virtual void NextPut(TLink* link);
    // The head, unlinked; null when empty.
    virtual TLink* NextGet();
    // True when the link was queued.
    virtual bool Remove(TLink* link);
    // Reads each successor before the call, so the function may unlink or delete the link.
    virtual void DoForEach(ForEachFunction function, void* context);

    TLink* GetHead() const { return fHead; }
    TLink* GetTail() const { return fTail; }

protected:
    TLink* fHead{nullptr};
    TLink* fTail{nullptr};
    SInt32 fCount{0};
};
