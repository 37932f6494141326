#include "network/CFieldComp.h"

#include <cstring>

#include "network/THeaderField.h"

namespace {

const THeaderField* FieldOf(const void* item) {
    const THeaderField* field = nullptr;
    std::memcpy(&field, item, sizeof field);
    return field;
}

}  // namespace

SInt32 CFieldComp::Compare(const void* itemA, const void* itemB, UInt32, UInt32) const {
    const THeaderField* a = FieldOf(itemA);
    const THeaderField* b = FieldOf(itemB);
    if (!a || !b) return (a != nullptr) - (b != nullptr);
    int order = std::strcmp(a->GetTitle().c_str(), b->GetTitle().c_str());
    return (order > 0) - (order < 0);
}

bool CFieldComp::IsEqualTo(const void* itemA, const void* itemB, UInt32 sizeA, UInt32 sizeB) const {
    return Compare(itemA, itemB, sizeA, sizeB) == 0;
}

std::unique_ptr<LComparator> CFieldComp::Clone() const {
    return std::make_unique<CFieldComp>();
}
