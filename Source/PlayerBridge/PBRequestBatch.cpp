#include "Source/PlayerBridge/PBRequestBatch.h"

namespace {

PBRequestBatch* gCurrent = nullptr;

}  // namespace

PBRequestBatch::PBRequestBatch() : mOuter(gCurrent), mUnanswered(gCurrent && gCurrent->unanswered()) {
    gCurrent = this;
}

PBRequestBatch::~PBRequestBatch() {
    gCurrent = mOuter;
    if (mOuter && mUnanswered) mOuter->noteUnanswered();
}

PBRequestBatch* PBRequestBatch::current() {
    return gCurrent;
}
