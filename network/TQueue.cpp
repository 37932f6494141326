#include "network/TQueue.h"

void TQueue::NextPut(TLink* link) {
    if (!link) return;
    link->SetNext(nullptr);
    if (fTail) {
        fTail->SetNext(link);
    } else {
        fHead = link;
    }
    fTail = link;
    ++fCount;
}

TLink* TQueue::NextGet() {
    TLink* link = fHead;
    if (!link) return nullptr;
    fHead = link->GetNext();
    if (!fHead) fTail = nullptr;
    link->SetNext(nullptr);
    --fCount;
    return link;
}

bool TQueue::Remove(TLink* link) {
    TLink* previous = nullptr;
    for (TLink* each = fHead; each; previous = each, each = each->GetNext()) {
        if (each != link) continue;
        if (previous) {
            previous->SetNext(each->GetNext());
        } else {
            fHead = each->GetNext();
        }
        if (fTail == each) fTail = previous;
        each->SetNext(nullptr);
        --fCount;
        return true;
    }
    return false;
}

void TQueue::DoForEach(ForEachFunction function, void* context) {
    for (TLink* each = fHead; each;) {
        TLink* next = each->GetNext();
        function(each, context);
        each = next;
    }
}
