// LArray: a dynamic array of fixed-size items in one resizable block, with 1-based indexes.
//
// The index 0x7fffffff (index_Last) means the last item wherever an item is read, removed,
// assigned, swapped or moved; 0 means none in results. A comparator orders the items; an
// array may keep itself sorted, and then searches are binary. The lock count is a re-entrancy
// guard, not a thread lock: while it is above 0, adding, inserting, removing and assigning the
// whole array are refused. Attached iterators (LArrayIterator) are told of every insertion and
// removal. One thread at a time; not copyable while locked.
#pragma once

#include "core/LComparator.h"
#include "platform/Carbon/MacTypes.h"

using ArrayIndexT = SInt32;
constexpr ArrayIndexT index_Bad = 0;
constexpr ArrayIndexT index_First = 1;
constexpr ArrayIndexT index_Last = 0x7fffffff;

class LArrayIterator;

class LArray {
public:
    // 8-byte items ordered as signed 64-bit values by the shared LLongComparator.
    LArray();
    // A non-null comparator is taken over (owned and deleted by the array); null gives the shared
    // LLongComparator for 8-byte items, else the shared LComparator.
    LArray(UInt32 itemSize, LComparator* comparator = nullptr, bool keepSorted = false);
    LArray(UInt32 initialCapacity, UInt32 itemSize, LComparator* comparator, bool keepSorted);
    // Adopts an existing block of whole items.
    LArray(UInt32 itemSize, Handle items, LComparator* comparator, bool isSorted, bool keepSorted);
    LArray(const LArray& source);
    LArray& operator=(const LArray& source);
    virtual ~LArray();

    UInt32 GetCount() const { return fItemCount; }
    virtual UInt32 GetItemSize(ArrayIndexT index) const;
    virtual UInt32 GrabItemSize(ArrayIndexT index) const;

    // Turns index_Last into the count (written back); true for 1 <= index <= count.
    bool ValidIndex(ArrayIndexT& index) const;
    // The item's address; valid only until the block changes size.
    virtual void* GetItemPtr(ArrayIndexT index) const;
    virtual bool FetchItemAt(ArrayIndexT index, void* item) const;
    // Copies min(size, item size) bytes and sets `size` to that; 0 and false for a bad index.
    virtual bool FetchItemAt(ArrayIndexT index, void* item, UInt32& size) const;
    // Trims the allocation to the stored bytes; the block stays the array's.
    Handle GetItemsHandle();

    // 0 when not found; size 0 means the item size.
    virtual ArrayIndexT FetchIndexOf(const void* item, UInt32 size = 0) const;
    virtual ArrayIndexT FetchIndexOfKey(const void* key) const;
    // Where the item would go in sorted order: index_Last when unsorted or for a null item.
    virtual ArrayIndexT FetchInsertIndexOf(const void* item, UInt32 size = 0) const;
    virtual ArrayIndexT FetchInsertIndexOfKey(const void* key) const;

    virtual ArrayIndexT AddItem(const void* item, UInt32 size = 0);
    // Inserts `count` copies of one item; 0 when refused.
    virtual ArrayIndexT InsertItemsAt(UInt32 count, ArrayIndexT index, const void* item, UInt32 size = 0);
    virtual void RemoveItemsAt(UInt32 count, ArrayIndexT index);
    virtual bool RemoveLastItem(void* item);
    virtual bool RemoveLastItem(void* item, UInt32& size);
    virtual ArrayIndexT AssignItemsAt(UInt32 count, ArrayIndexT index, const void* item, UInt32 size = 0);
    virtual void SwapItems(ArrayIndexT indexA, ArrayIndexT indexB);
    virtual void MoveItem(ArrayIndexT fromIndex, ArrayIndexT toIndex);
    virtual ArrayIndexT Remove(const void* item, UInt32 size = 0);

    // Sets the allocation to room for the items and `extraItems` more. Throws the Memory Manager
    // error (an int) on failure.
    virtual void AdjustAllocation(UInt32 extraItems);
    virtual void Sort();

    void Lock() const;
    void Unlock() const;
    bool IsLocked() const { return fLockCount > 0; }
    bool IsSorted() const { return fIsSorted; }
    bool IsKeepSorted() const { return fKeepSorted; }
    void SetKeepSorted(bool keepSorted);
    LComparator* GetComparator() const { return fComparator; }
    // Ignored for null; the old comparator is deleted when owned.
    void SetComparator(LComparator* comparator, bool owns);

    void AttachIterator(LArrayIterator* iterator) const;
    void DetachIterator(LArrayIterator* iterator) const;

protected:
    virtual void PeekItem(ArrayIndexT index, void* item) const;
    virtual void PokeItem(ArrayIndexT index, const void* item, UInt32 size);
    virtual void InternalAdjustAllocation(UInt32 bytes);
    virtual void AdjustStorage(SInt32 deltaItems, SInt32 deltaBytes);
    // Moves the items startIndex..endIndex by `delta` places; the storage must hold both ranges.
    virtual void ShiftItems(ArrayIndexT startIndex, ArrayIndexT endIndex, SInt32 delta);
    virtual void StoreNewItems(UInt32 count, ArrayIndexT index, const void* item, UInt32 size);
    virtual void InternalSwapItems(ArrayIndexT indexA, ArrayIndexT indexB, void* scratch);
    virtual void InternalMoveItem(ArrayIndexT fromIndex, ArrayIndexT toIndex, void* scratch);
    virtual void InternalCopyItem(ArrayIndexT sourceIndex, ArrayIndexT destinationIndex);
    virtual UInt32 GrabItemRangeSize(ArrayIndexT startIndex, ArrayIndexT endIndex) const;

    ArrayIndexT BinarySearch(const void* item, UInt32 size) const;
    ArrayIndexT LinearSearch(const void* item, UInt32 size) const;
    ArrayIndexT BinarySearchByKey(const void* key) const;
    ArrayIndexT LinearSearchByKey(const void* key) const;
    void ItemsInserted(UInt32 count, ArrayIndexT index);
    void ItemsRemoved(UInt32 count, ArrayIndexT index);

private:
    void InitArray(UInt32 itemSize, LComparator* comparator, bool keepSorted);
    void CopyArray(const LArray& source);
    void DestroyArray();
    unsigned char* Bytes() const { return fItems ? reinterpret_cast<unsigned char*>(*fItems) : nullptr; }

    UInt32 fItemSize{0};
    UInt32 fItemCount{0};
    UInt32 fDataStored{0};
    UInt32 fDataAllocated{0};
    Handle fItems{nullptr};
    mutable SInt32 fLockCount{0};
    mutable LArrayIterator* fIteratorListHead{nullptr};
    LComparator* fComparator{nullptr};
    bool fOwnsComparator{false};
    bool fIsSorted{true};
    bool fKeepSorted{false};
};
