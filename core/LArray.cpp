#include "core/LArray.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/LArrayIterator.h"
#include "platform/Carbon/MacMemory.h"

namespace {

[[noreturn]] void ThrowMemError() {
    const OSErr error = MemError();
    throw error != noErr ? static_cast<int>(error) : static_cast<int>(memFullErr);
}

// Holds the array's lock count for a search.
class SearchLock {
public:
    explicit SearchLock(const LArray& array) : fArray(array) { fArray.Lock(); }
    ~SearchLock() { fArray.Unlock(); }
    SearchLock(const SearchLock&) = delete;
    SearchLock& operator=(const SearchLock&) = delete;

private:
    const LArray& fArray;
};

LComparator* SharedComparatorFor(UInt32 itemSize) {
    if (itemSize == 8) return LLongComparator::GetComparator();
    return LComparator::GetComparator();
}

}  // namespace

LArray::LArray() {
    InitArray(8, nullptr, false);
}

LArray::LArray(UInt32 itemSize, LComparator* comparator, bool keepSorted) {
    InitArray(itemSize, comparator, keepSorted);
}

LArray::LArray(UInt32 initialCapacity, UInt32 itemSize, LComparator* comparator, bool keepSorted) {
    InitArray(itemSize, comparator, keepSorted);
    const UInt64 bytes = UInt64{initialCapacity} * itemSize;
    if (bytes > UINT32_MAX) throw static_cast<int>(memFullErr);
    InternalAdjustAllocation(static_cast<UInt32>(bytes));
}

LArray::LArray(UInt32 itemSize, Handle items, LComparator* comparator, bool isSorted, bool keepSorted) {
    InitArray(itemSize, comparator, keepSorted);
    if (items) {
        HUnlock(items);
        const Size size = GetHandleSize(items);
        fItems = items;
        // Only whole items count; a partial item at the end stays unused.
        fItemCount = itemSize ? static_cast<UInt32>(size / itemSize) : 0;
        fDataStored = fItemCount * itemSize;
        fDataAllocated = static_cast<UInt32>(size);
    }
    fIsSorted = isSorted;
}

LArray::LArray(const LArray& source) {
    InitArray(source.fItemSize, nullptr, false);
    CopyArray(source);
}

LArray& LArray::operator=(const LArray& source) {
    if (this == &source || IsLocked()) return *this;
    DestroyArray();
    CopyArray(source);
    return *this;
}

LArray::~LArray() {
    DestroyArray();
}

void LArray::InitArray(UInt32 itemSize, LComparator* comparator, bool keepSorted) {
    fItemSize = itemSize;
    fItemCount = fDataStored = fDataAllocated = 0;
    fItems = nullptr;
    fLockCount = 0;
    fIteratorListHead = nullptr;
    fOwnsComparator = comparator != nullptr;
    fComparator = comparator ? comparator : SharedComparatorFor(itemSize);
    fIsSorted = true;
    fKeepSorted = keepSorted;
}

void LArray::CopyArray(const LArray& source) {
    Handle items = nullptr;
    if (source.fDataStored > 0) {
        items = NewHandle(source.fDataStored);
        if (!items) ThrowMemError();
        std::memcpy(*items, source.Bytes(), source.fDataStored);
    }
    LComparator* comparator = source.fComparator;
    if (source.fOwnsComparator) {
        try {
            comparator = source.fComparator->Clone().release();
        } catch (...) {
            DisposeHandle(items);
            throw;
        }
    }
    fItemSize = source.fItemSize;
    fItemCount = source.fItemCount;
    fDataStored = fDataAllocated = source.fDataStored;
    fItems = items;
    fLockCount = 0;
    fIteratorListHead = nullptr;
    fComparator = comparator;
    fOwnsComparator = source.fOwnsComparator;
    fIsSorted = source.fIsSorted;
    fKeepSorted = source.fKeepSorted;
}

void LArray::DestroyArray() {
    if (fOwnsComparator) delete fComparator;
    fComparator = SharedComparatorFor(fItemSize);
    fOwnsComparator = false;
    if (fItems) DisposeHandle(fItems);
    fItems = nullptr;
    fItemCount = fDataStored = fDataAllocated = 0;
    for (LArrayIterator* iterator = fIteratorListHead; iterator;) {
        LArrayIterator* next = iterator->fNextIterator;
        iterator->ArrayDied();
        iterator = next;
    }
    fIteratorListHead = nullptr;
}

UInt32 LArray::GetItemSize(ArrayIndexT) const {
    return fItemSize;
}

UInt32 LArray::GrabItemSize(ArrayIndexT) const {
    return fItemSize;
}

bool LArray::ValidIndex(ArrayIndexT& index) const {
    if (index == index_Last) index = static_cast<ArrayIndexT>(fItemCount);
    return index >= 1 && static_cast<UInt32>(index) <= fItemCount;
}

void* LArray::GetItemPtr(ArrayIndexT index) const {
    if (!fItems) return nullptr;
    return Bytes() + static_cast<size_t>(index - 1) * GrabItemSize(index);
}

bool LArray::FetchItemAt(ArrayIndexT index, void* item) const {
    if (!ValidIndex(index) || !fItems) return false;
    PeekItem(index, item);
    return true;
}

bool LArray::FetchItemAt(ArrayIndexT index, void* item, UInt32& size) const {
    if (!ValidIndex(index) || !fItems) {
        size = 0;
        return false;
    }
    const UInt32 stored = GrabItemSize(index);
    if (size == stored) {
        PeekItem(index, item);
    } else {
        size = std::min(size, stored);
        if (size > 0) std::memcpy(item, GetItemPtr(index), size);
    }
    return true;
}

Handle LArray::GetItemsHandle() {
    if (fItems) InternalAdjustAllocation(fDataStored);
    return fItems;
}

ArrayIndexT LArray::FetchIndexOf(const void* item, UInt32 size) const {
    if (fItemCount == 0 || !item) return index_Bad;
    if (size == 0) size = fItemSize;
    SearchLock lock(*this);
    return fIsSorted ? BinarySearch(item, size) : LinearSearch(item, size);
}

ArrayIndexT LArray::FetchIndexOfKey(const void* key) const {
    if (fItemCount == 0) return index_Bad;
    SearchLock lock(*this);
    return fIsSorted ? BinarySearchByKey(key) : LinearSearchByKey(key);
}

ArrayIndexT LArray::BinarySearch(const void* item, UInt32 size) const {
    ArrayIndexT low = 1;
    ArrayIndexT high = static_cast<ArrayIndexT>(fItemCount);
    while (low <= high) {
        const ArrayIndexT mid = low + (high - low) / 2;
        const SInt32 r = fComparator->Compare(GetItemPtr(mid), item, GrabItemSize(mid), size);
        if (r == 0) return mid;
        if (r < 0)
            low = mid + 1;
        else
            high = mid - 1;
    }
    return index_Bad;
}

ArrayIndexT LArray::LinearSearch(const void* item, UInt32 size) const {
    for (ArrayIndexT i = 1; static_cast<UInt32>(i) <= fItemCount; ++i)
        if (fComparator->IsEqualTo(item, GetItemPtr(i), size, GrabItemSize(i))) return i;
    return index_Bad;
}

ArrayIndexT LArray::BinarySearchByKey(const void* key) const {
    ArrayIndexT low = 1;
    ArrayIndexT high = static_cast<ArrayIndexT>(fItemCount);
    while (low <= high) {
        const ArrayIndexT mid = low + (high - low) / 2;
        const SInt32 r = fComparator->CompareToKey(GetItemPtr(mid), GrabItemSize(mid), key);
        if (r == 0) return mid;
        if (r < 0)
            low = mid + 1;
        else
            high = mid - 1;
    }
    return index_Bad;
}

ArrayIndexT LArray::LinearSearchByKey(const void* key) const {
    for (ArrayIndexT i = 1; static_cast<UInt32>(i) <= fItemCount; ++i)
        if (fComparator->IsEqualToKey(GetItemPtr(i), GrabItemSize(i), key)) return i;
    return index_Bad;
}

ArrayIndexT LArray::FetchInsertIndexOf(const void* item, UInt32 size) const {
    if (!item || !fIsSorted) return index_Last;
    if (fItemCount == 0) return index_First;
    if (size == 0) size = fItemSize;
    SearchLock lock(*this);
    ArrayIndexT low = 1;
    ArrayIndexT high = static_cast<ArrayIndexT>(fItemCount);
    ArrayIndexT mid = 1;
    SInt32 r = 0;
    while (low <= high) {
        mid = low + (high - low) / 2;
        r = fComparator->Compare(GetItemPtr(mid), item, GrabItemSize(mid), size);
        if (r == 0) break;
        if (r < 0)
            low = mid + 1;
        else
            high = mid - 1;
    }
    return r < 0 ? mid + 1 : mid;
}

ArrayIndexT LArray::FetchInsertIndexOfKey(const void* key) const {
    if (!key || !fIsSorted) return index_Last;
    if (fItemCount == 0) return index_First;
    SearchLock lock(*this);
    ArrayIndexT low = 1;
    ArrayIndexT high = static_cast<ArrayIndexT>(fItemCount);
    ArrayIndexT mid = 1;
    SInt32 r = 0;
    while (low <= high) {
        mid = low + (high - low) / 2;
        r = fComparator->CompareToKey(GetItemPtr(mid), GrabItemSize(mid), key);
        if (r == 0) break;
        if (r < 0)
            low = mid + 1;
        else
            high = mid - 1;
    }
    return r < 0 ? mid + 1 : mid;
}

ArrayIndexT LArray::AddItem(const void* item, UInt32 size) {
    if (fKeepSorted) return InsertItemsAt(1, 0, item, size);
    if (IsLocked()) return index_Bad;
    if (size == 0) size = fItemSize;
    AdjustStorage(1, static_cast<SInt32>(fItemSize));
    const auto index = static_cast<ArrayIndexT>(fItemCount);
    PokeItem(index, item, size);
    fIsSorted = false;
    ItemsInserted(1, index);
    return index;
}

ArrayIndexT LArray::InsertItemsAt(UInt32 count, ArrayIndexT index, const void* item, UInt32 size) {
    if (count == 0 || IsLocked() || (fKeepSorted && !item)) return index_Bad;
    if (count > static_cast<UInt32>(index_Last) - fItemCount) throw static_cast<int>(memFullErr);
    if (size == 0) size = fItemSize;
    if (fKeepSorted) {
        if (!fIsSorted) Sort();
        index = FetchInsertIndexOf(item, size);
    }
    if (static_cast<UInt32>(index) > fItemCount)
        index = static_cast<ArrayIndexT>(fItemCount + 1);
    else if (index == 0)
        index = 1;
    const auto oldCount = static_cast<ArrayIndexT>(fItemCount);
    AdjustStorage(static_cast<SInt32>(count), 0);
    if (index <= oldCount) ShiftItems(index, oldCount, static_cast<SInt32>(count));
    fIsSorted = fKeepSorted;
    StoreNewItems(count, index, item, size);
    ItemsInserted(count, index);
    return index;
}

void LArray::RemoveItemsAt(UInt32 count, ArrayIndexT index) {
    if (IsLocked() || count == 0) return;
    if (index == index_Last) index = static_cast<ArrayIndexT>(fItemCount);
    if (index < 1 || static_cast<UInt32>(index) > fItemCount) return;
    count = std::min<UInt32>(count, fItemCount - static_cast<UInt32>(index) + 1);
    const auto afterRun = static_cast<ArrayIndexT>(static_cast<UInt32>(index) + count);
    if (static_cast<UInt32>(afterRun) <= fItemCount)
        ShiftItems(afterRun, static_cast<ArrayIndexT>(fItemCount), -static_cast<SInt32>(count));
    AdjustStorage(-static_cast<SInt32>(count), 0);
    ItemsRemoved(count, index);
}

bool LArray::RemoveLastItem(void* item) {
    if (fItemCount == 0 || IsLocked()) return false;
    FetchItemAt(index_Last, item);
    RemoveItemsAt(1, index_Last);
    return true;
}

bool LArray::RemoveLastItem(void* item, UInt32& size) {
    if (fItemCount == 0 || IsLocked()) return false;
    FetchItemAt(index_Last, item, size);
    RemoveItemsAt(1, index_Last);
    return true;
}

ArrayIndexT LArray::AssignItemsAt(UInt32 count, ArrayIndexT index, const void* item, UInt32 size) {
    if (index == index_Last) index = static_cast<ArrayIndexT>(fItemCount);
    if (index <= 0 || count == 0 || static_cast<UInt32>(index) > fItemCount) return index_Bad;
    if (size == 0) size = fItemSize;
    const UInt32 existing = std::min<UInt32>(count, fItemCount - static_cast<UInt32>(index) + 1);
    if (fKeepSorted) {
        RemoveItemsAt(existing, index);
        return InsertItemsAt(existing, index, item, size);
    }
    for (UInt32 i = 0; i < existing; ++i) PokeItem(index + static_cast<ArrayIndexT>(i), item, size);
    fIsSorted = false;
    return index;
}

void LArray::SwapItems(ArrayIndexT indexA, ArrayIndexT indexB) {
    if (fKeepSorted || !ValidIndex(indexA) || !ValidIndex(indexB)) return;
    std::vector<unsigned char> scratch(fItemSize);
    InternalSwapItems(indexA, indexB, scratch.data());
    fIsSorted = false;
}

void LArray::MoveItem(ArrayIndexT fromIndex, ArrayIndexT toIndex) {
    if (fKeepSorted || !ValidIndex(fromIndex) || !ValidIndex(toIndex) || fromIndex == toIndex) return;
    std::vector<unsigned char> scratch(fItemSize);
    InternalMoveItem(fromIndex, toIndex, scratch.data());
    fIsSorted = false;
}

ArrayIndexT LArray::Remove(const void* item, UInt32 size) {
    const ArrayIndexT index = FetchIndexOf(item, size);
    if (index != index_Bad) RemoveItemsAt(1, index);
    return index;
}

void LArray::AdjustAllocation(UInt32 extraItems) {
    const UInt64 bytes = (UInt64{fItemCount} + extraItems) * fItemSize;
    if (bytes > UINT32_MAX) throw static_cast<int>(memFullErr);
    InternalAdjustAllocation(static_cast<UInt32>(bytes));
}

void LArray::Sort() {
    if (fIsSorted || fItemCount < 2) {
        fIsSorted = true;
        return;
    }
    const auto count = static_cast<ArrayIndexT>(fItemCount);
    ArrayIndexT gap = 1;
    if (count >= 18)
        while (gap < count / 9) gap = 3 * gap + 1;
    std::vector<unsigned char> aside(fItemSize);
    SearchLock lock(*this);
    for (;; gap /= 3) {
        for (ArrayIndexT i = gap + 1; i <= count; ++i) {
            PeekItem(i, aside.data());
            ArrayIndexT j = i - gap;
            while (j > 0 && fComparator->Compare(aside.data(), GetItemPtr(j), fItemSize, fItemSize) < 0) {
                InternalCopyItem(j, j + gap);
                j -= gap;
            }
            PokeItem(j + gap, aside.data(), fItemSize);
        }
        if (gap <= 2) break;
    }
    fIsSorted = true;
}

void LArray::Lock() const {
    if (fLockCount++ == 0 && fItems) HLock(fItems);
}

void LArray::Unlock() const {
    if (fLockCount == 0) return;
    if (--fLockCount == 0 && fItems) HUnlock(fItems);
}

void LArray::SetKeepSorted(bool keepSorted) {
    fKeepSorted = keepSorted;
    if (keepSorted) Sort();
}

void LArray::SetComparator(LComparator* comparator, bool owns) {
    if (!comparator) return;
    if (comparator != fComparator && fOwnsComparator) delete fComparator;
    fComparator = comparator;
    fOwnsComparator = owns;
    if (fItemCount > 1) fIsSorted = false;
    if (fKeepSorted) Sort();
}

void LArray::AttachIterator(LArrayIterator* iterator) const {
    iterator->fNextIterator = fIteratorListHead;
    fIteratorListHead = iterator;
}

void LArray::DetachIterator(LArrayIterator* iterator) const {
    for (LArrayIterator** link = &fIteratorListHead; *link; link = &(*link)->fNextIterator) {
        if (*link == iterator) {
            *link = iterator->fNextIterator;
            iterator->fNextIterator = nullptr;
            return;
        }
    }
}

void LArray::ItemsInserted(UInt32 count, ArrayIndexT index) {
    for (LArrayIterator* iterator = fIteratorListHead; iterator; iterator = iterator->fNextIterator)
        iterator->ItemsInserted(count, index);
}

void LArray::ItemsRemoved(UInt32 count, ArrayIndexT index) {
    for (LArrayIterator* iterator = fIteratorListHead; iterator; iterator = iterator->fNextIterator)
        iterator->ItemsRemoved(count, index);
}

void LArray::PeekItem(ArrayIndexT index, void* item) const {
    if (fItemSize == 8) {
        UInt64 word;
        std::memcpy(&word, GetItemPtr(index), 8);
        std::memcpy(item, &word, 8);
    } else if (fItemSize > 0) {
        std::memcpy(item, GetItemPtr(index), fItemSize);
    }
}

void LArray::PokeItem(ArrayIndexT index, const void* item, UInt32 size) {
    if (fItemSize == 0) return;
    auto* at = static_cast<unsigned char*>(GetItemPtr(index));
    if (!item) {
        std::memset(at, 0, fItemSize);
        return;
    }
    // A shorter source fills the rest with zero bytes instead of reading past its end.
    const UInt32 n = std::min(size, fItemSize);
    std::memmove(at, item, n);
    if (n < fItemSize) std::memset(at + n, 0, fItemSize - n);
}

void LArray::InternalAdjustAllocation(UInt32 bytes) {
    if (bytes == fDataAllocated && (fItems || bytes == 0)) return;
    if (!fItems) {
        fItems = NewHandle(static_cast<Size>(bytes));
        if (!fItems) ThrowMemError();
    } else {
        SetHandleSize(fItems, static_cast<Size>(bytes));
        if (MemError() != noErr) ThrowMemError();
    }
    fDataAllocated = bytes;
}

void LArray::AdjustStorage(SInt32 deltaItems, SInt32) {
    const SInt64 newCount = SInt64{fItemCount} + deltaItems;
    const SInt64 need = newCount * fItemSize;
    if (newCount < 0 || need > SInt64{UINT32_MAX}) throw static_cast<int>(memFullErr);
    if (need > fDataAllocated) {
        const SInt64 growth = std::max<SInt64>(fDataAllocated, SInt64{deltaItems} * fItemSize);
        const SInt64 doubled = SInt64{fDataAllocated} + growth;
        try {
            if (doubled > SInt64{UINT32_MAX}) throw static_cast<int>(memFullErr);
            InternalAdjustAllocation(static_cast<UInt32>(doubled));
        } catch (int) {
            InternalAdjustAllocation(static_cast<UInt32>(need));
        }
    } else if (deltaItems < 0) {
        InternalAdjustAllocation(static_cast<UInt32>(fDataAllocated - (fDataStored - need)));
    }
    fItemCount = static_cast<UInt32>(newCount);
    fDataStored = static_cast<UInt32>(need);
}

void LArray::ShiftItems(ArrayIndexT startIndex, ArrayIndexT endIndex, SInt32 delta) {
    if (startIndex > endIndex || delta == 0) return;
    unsigned char* bytes = Bytes();
    const size_t itemSize = fItemSize;
    std::memmove(bytes + static_cast<size_t>(startIndex - 1 + delta) * itemSize,
                 bytes + static_cast<size_t>(startIndex - 1) * itemSize,
                 GrabItemRangeSize(startIndex, endIndex));
}

void LArray::StoreNewItems(UInt32 count, ArrayIndexT index, const void* item, UInt32 size) {
    for (UInt32 i = 0; i < count; ++i) PokeItem(index + static_cast<ArrayIndexT>(i), item, size);
}

void LArray::InternalSwapItems(ArrayIndexT indexA, ArrayIndexT indexB, void* scratch) {
    PeekItem(indexA, scratch);
    InternalCopyItem(indexB, indexA);
    PokeItem(indexB, scratch, fItemSize);
}

void LArray::InternalMoveItem(ArrayIndexT fromIndex, ArrayIndexT toIndex, void* scratch) {
    PeekItem(fromIndex, scratch);
    if (fromIndex < toIndex)
        ShiftItems(fromIndex + 1, toIndex, -1);
    else
        ShiftItems(toIndex, fromIndex - 1, 1);
    PokeItem(toIndex, scratch, fItemSize);
}

void LArray::InternalCopyItem(ArrayIndexT sourceIndex, ArrayIndexT destinationIndex) {
    if (fItemSize > 0) std::memmove(GetItemPtr(destinationIndex), GetItemPtr(sourceIndex), fItemSize);
}

UInt32 LArray::GrabItemRangeSize(ArrayIndexT startIndex, ArrayIndexT endIndex) const {
    if (endIndex < startIndex) return 0;
    return static_cast<UInt32>(endIndex - startIndex + 1) * GrabItemSize(startIndex);
}
