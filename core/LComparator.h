// Comparison strategies of the dynamic array.
//
// `LComparator` orders items by their bytes (unsigned, then by length) and has no key;
// `LLongComparator` orders 8-byte items as signed 64-bit integers. Each class has one shared
// instance (GetComparator), never deleted by arrays.
#pragma once

#include <memory>

#include "platform/Carbon/MacTypes.h"

class LComparator {
public:
    LComparator() = default;
    virtual ~LComparator();

    // The order of two items: negative, 0 or positive.
    virtual SInt32 Compare(const void* itemA, const void* itemB, UInt32 sizeA, UInt32 sizeB) const;
    virtual bool IsEqualTo(const void* itemA, const void* itemB, UInt32 sizeA, UInt32 sizeB) const;
    // The order of an item against a key; the base has no key and answers 1.
    virtual SInt32 CompareToKey(const void* item, UInt32 size, const void* key) const;
    virtual bool IsEqualToKey(const void* item, UInt32 size, const void* key) const;
    // A new comparator of the same class.
    virtual std::unique_ptr<LComparator> Clone() const;

    static LComparator* GetComparator();
};

class LLongComparator : public LComparator {
public:
    SInt32 Compare(const void* itemA, const void* itemB, UInt32 sizeA, UInt32 sizeB) const override;
    bool IsEqualTo(const void* itemA, const void* itemB, UInt32 sizeA, UInt32 sizeB) const override;
    std::unique_ptr<LComparator> Clone() const override;

    static LLongComparator* GetComparator();
};
