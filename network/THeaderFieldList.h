// The fields of a message, owned, kept in title order and found by binary search on the title.
#pragma once

#include <string_view>

#include "core/LArray.h"

class THeaderField;

class THeaderFieldList : public LArray {
public:
    THeaderFieldList();
    ~THeaderFieldList() override;
    THeaderFieldList(const THeaderFieldList&) = delete;
    THeaderFieldList& operator=(const THeaderFieldList&) = delete;

    void ResetList();
    // Deletes the field at the index, then stores the new one there.
    void SetItemAt(ArrayIndexT index, THeaderField* field);
    // Inserts at the field's sorted place; the list takes it over.
    ArrayIndexT AppendItem(THeaderField* field);
    void RemoveItem(ArrayIndexT index);

    // The index of a field with exactly that title; 0 when none.
    ArrayIndexT FindTitle(std::string_view title) const;
    THeaderField* FieldAt(ArrayIndexT index) const;
};
