// Orders header-field pointers by their titles in byte order, case-sensitively.
#pragma once

#include "core/LComparator.h"

class CFieldComp : public LComparator {
public:
    SInt32 Compare(const void* itemA, const void* itemB, UInt32 sizeA, UInt32 sizeB) const override;
    bool IsEqualTo(const void* itemA, const void* itemB, UInt32 sizeA, UInt32 sizeB) const override;
    std::unique_ptr<LComparator> Clone() const override;
};
