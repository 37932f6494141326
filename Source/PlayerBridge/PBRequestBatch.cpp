#include "Source/PlayerBridge/PBRequestBatch.h"

namespace {

PBRequestBatch* gCurrent = nullptr;

}  // namespace

PBRequestBatch::PBRequestBatch()
    : mOuter(gCurrent),
      mUnanswered(gCurrent && gCurrent->unanswered()),
      mWaited(gCurrent ? gCurrent->mWaited : 0) {
    gCurrent = this;
}

PBRequestBatch::~PBRequestBatch() {
    gCurrent = mOuter;
    if (!mOuter) return;
    mOuter->mWaited = mWaited;
    if (mUnanswered) mOuter->noteUnanswered();
}

void PBRequestBatch::noteWaited(UInt32 ticks) {
    mWaited = ticks >= kBudgetTicks - mWaited ? kBudgetTicks : mWaited + ticks;
    if (mWaited >= kBudgetTicks) mUnanswered = true;
}

PBRequestBatch* PBRequestBatch::current() {
    return gCurrent;
}
