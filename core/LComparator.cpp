#include "core/LComparator.h"

#include <cstring>

#include "core/UMemory.h"

LComparator::~LComparator() = default;

SInt32 LComparator::Compare(const void* itemA, const void* itemB, UInt32 sizeA, UInt32 sizeB) const {
    return BlockCompare(itemA, itemB, sizeA, sizeB);
}

bool LComparator::IsEqualTo(const void* itemA, const void* itemB, UInt32 sizeA, UInt32 sizeB) const {
    return Compare(itemA, itemB, sizeA, sizeB) == 0;
}

SInt32 LComparator::CompareToKey(const void*, UInt32, const void*) const {
    return 1;
}

bool LComparator::IsEqualToKey(const void* item, UInt32 size, const void* key) const {
    return CompareToKey(item, size, key) == 0;
}

std::unique_ptr<LComparator> LComparator::Clone() const {
    return std::make_unique<LComparator>();
}

LComparator* LComparator::GetComparator() {
    static LComparator shared;
    return &shared;
}

namespace {

SInt64 Read64(const void* item) {
    SInt64 value;
    std::memcpy(&value, item, sizeof value);
    return value;
}

}  // namespace

SInt32 LLongComparator::Compare(const void* itemA, const void* itemB, UInt32, UInt32) const {
    const SInt64 a = Read64(itemA);
    const SInt64 b = Read64(itemB);
    return a < b ? -1 : (a > b ? 1 : 0);
}

bool LLongComparator::IsEqualTo(const void* itemA, const void* itemB, UInt32, UInt32) const {
    return Read64(itemA) == Read64(itemB);
}

std::unique_ptr<LComparator> LLongComparator::Clone() const {
    return std::make_unique<LLongComparator>();
}

LLongComparator* LLongComparator::GetComparator() {
    static LLongComparator shared;
    return &shared;
}
