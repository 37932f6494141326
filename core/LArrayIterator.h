// LArrayIterator: walks an LArray and stays correct while items are inserted and removed.
//
// Positions are 1-based indexes or one of: 0 before the first item, -2 none (past either end),
// -4 the current item was removed, -6 the array was destroyed (every call then fails).
#pragma once

#include "core/LArray.h"

class LArrayIterator {
public:
    static constexpr ArrayIndexT kBeforeFirst = 0;
    static constexpr ArrayIndexT kFromEnd = -1;
    static constexpr ArrayIndexT kNone = -2;
    static constexpr ArrayIndexT kRemoved = -4;
    static constexpr ArrayIndexT kArrayGone = -6;

    explicit LArrayIterator(const LArray& array, ArrayIndexT position = kBeforeFirst);
    ~LArrayIterator();
    LArrayIterator(const LArrayIterator&) = delete;
    LArrayIterator& operator=(const LArrayIterator&) = delete;

    void ResetTo(ArrayIndexT position);
    ArrayIndexT GetCurrentIndex() const { return fCurrentIndex; }
    ArrayIndexT GetNextIndex() const { return fNextIndex; }

    bool Current(void* item);
    bool Current(void* item, UInt32& size);
    bool Next(void* item);
    bool Next(void* item, UInt32& size);
    bool Previous(void* item);
    bool Previous(void* item, UInt32& size);
    // The item's address (and size), null (and 0) unless the position is a valid index.
    void* PtrToCurrent();
    void* PtrToCurrent(UInt32& size);
    void* PtrToNext();
    void* PtrToNext(UInt32& size);
    void* PtrToPrevious();
    void* PtrToPrevious(UInt32& size);

    // Notices from the array.
    void ItemsInserted(UInt32 count, ArrayIndexT index);
    void ItemsRemoved(UInt32 count, ArrayIndexT index);
    void ArrayDied();

private:
    friend class LArray;

    bool StepNext();
    bool StepPrevious();
    void FollowNextRule();

    LArrayIterator* fNextIterator{nullptr};
    const LArray* fArray;
    ArrayIndexT fCurrentIndex{kBeforeFirst};
    ArrayIndexT fNextIndex{1};
};
