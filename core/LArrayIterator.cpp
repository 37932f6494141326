#include "core/LArrayIterator.h"

LArrayIterator::LArrayIterator(const LArray& array, ArrayIndexT position) : fArray(&array) {
    array.AttachIterator(this);
    ResetTo(position);
}

LArrayIterator::~LArrayIterator() {
    if (fCurrentIndex != kArrayGone) fArray->DetachIterator(this);
}

void LArrayIterator::ResetTo(ArrayIndexT position) {
    if (fCurrentIndex == kArrayGone) return;
    const UInt32 count = fArray->GetCount();
    if (position == kFromEnd || static_cast<UInt32>(position) > count) {
        fCurrentIndex = fNextIndex = kNone;
        return;
    }
    fCurrentIndex = position > 0 ? position : 0;
    fNextIndex = fCurrentIndex + 1;
    if (static_cast<UInt32>(fNextIndex) > count) fNextIndex = kNone;
}

void LArrayIterator::FollowNextRule() {
    if (fCurrentIndex == kArrayGone) return;
    if (fCurrentIndex == kNone) {
        fNextIndex = kNone;
        return;
    }
    fNextIndex = fCurrentIndex + 1;
    if (static_cast<UInt32>(fNextIndex) > fArray->GetCount()) fNextIndex = kNone;
}

bool LArrayIterator::StepNext() {
    fCurrentIndex = fNextIndex;
    if (fCurrentIndex == kArrayGone) return false;
    FollowNextRule();
    return true;
}

bool LArrayIterator::StepPrevious() {
    if (fCurrentIndex == kArrayGone) return false;
    const auto count = static_cast<ArrayIndexT>(fArray->GetCount());
    if (fCurrentIndex >= 1)
        fCurrentIndex -= 1;
    else if (fCurrentIndex == kNone)
        fCurrentIndex = count;
    else if (fCurrentIndex == kRemoved)
        fCurrentIndex = fNextIndex == kNone ? count : fNextIndex - 1;
    FollowNextRule();
    return true;
}

bool LArrayIterator::Current(void* item) {
    if (fCurrentIndex == kArrayGone) return false;
    return fArray->FetchItemAt(fCurrentIndex, item);
}

bool LArrayIterator::Current(void* item, UInt32& size) {
    if (fCurrentIndex == kArrayGone) {
        size = 0;
        return false;
    }
    return fArray->FetchItemAt(fCurrentIndex, item, size);
}

bool LArrayIterator::Next(void* item) {
    return StepNext() && Current(item);
}

bool LArrayIterator::Next(void* item, UInt32& size) {
    if (!StepNext()) {
        size = 0;
        return false;
    }
    return Current(item, size);
}

bool LArrayIterator::Previous(void* item) {
    return StepPrevious() && Current(item);
}

bool LArrayIterator::Previous(void* item, UInt32& size) {
    if (!StepPrevious()) {
        size = 0;
        return false;
    }
    return Current(item, size);
}

void* LArrayIterator::PtrToCurrent() {
    UInt32 size = 0;
    return PtrToCurrent(size);
}

void* LArrayIterator::PtrToCurrent(UInt32& size) {
    ArrayIndexT index = fCurrentIndex;
    // A real index only: the last-item marker is no position of an iterator.
    if (fCurrentIndex == kArrayGone || index == index_Last || !fArray->ValidIndex(index)) {
        size = 0;
        return nullptr;
    }
    size = fArray->GetItemSize(index);
    return fArray->GetItemPtr(index);
}

void* LArrayIterator::PtrToNext() {
    UInt32 size = 0;
    return PtrToNext(size);
}

void* LArrayIterator::PtrToNext(UInt32& size) {
    if (!StepNext()) {
        size = 0;
        return nullptr;
    }
    return PtrToCurrent(size);
}

void* LArrayIterator::PtrToPrevious() {
    UInt32 size = 0;
    return PtrToPrevious(size);
}

void* LArrayIterator::PtrToPrevious(UInt32& size) {
    if (!StepPrevious()) {
        size = 0;
        return nullptr;
    }
    return PtrToCurrent(size);
}

void LArrayIterator::ItemsInserted(UInt32 count, ArrayIndexT index) {
    const auto n = static_cast<ArrayIndexT>(count);
    if (fCurrentIndex == kRemoved) {
        if (fNextIndex >= index) fNextIndex += n;
        return;
    }
    if (fCurrentIndex >= index) fCurrentIndex += n;
    FollowNextRule();
}

void LArrayIterator::ItemsRemoved(UInt32 count, ArrayIndexT index) {
    const auto n = static_cast<ArrayIndexT>(count);
    const ArrayIndexT runEnd = index + n - 1;
    const auto remaining = static_cast<ArrayIndexT>(fArray->GetCount());
    if (fCurrentIndex == kRemoved) {
        if (fNextIndex > runEnd)
            fNextIndex -= n;
        else if (fNextIndex >= index)
            fNextIndex = index > remaining ? kNone : index;
    } else if (fCurrentIndex >= index && fCurrentIndex <= runEnd) {
        fCurrentIndex = kRemoved;
        fNextIndex = index > remaining ? kNone : index;
    } else if (fCurrentIndex > runEnd) {
        fCurrentIndex -= n;
        FollowNextRule();
    }
}

void LArrayIterator::ArrayDied() {
    fCurrentIndex = fNextIndex = kArrayGone;
    fNextIterator = nullptr;
}
