#include "network/THeaderFieldList.h"

#include "network/CFieldComp.h"
#include "network/THeaderField.h"

THeaderFieldList::THeaderFieldList() : LArray(sizeof(THeaderField*), new CFieldComp, true) {}

THeaderFieldList::~THeaderFieldList() {
    ResetList();
}

THeaderField* THeaderFieldList::FieldAt(ArrayIndexT index) const {
    THeaderField* field = nullptr;
    return FetchItemAt(index, &field) ? field : nullptr;
}

void THeaderFieldList::ResetList() {
    for (ArrayIndexT index = 1; index <= static_cast<ArrayIndexT>(GetCount()); ++index) delete FieldAt(index);
    RemoveItemsAt(GetCount(), index_First);
}

void THeaderFieldList::SetItemAt(ArrayIndexT index, THeaderField* field) {
    if (!ValidIndex(index)) return;
    delete FieldAt(index);
    AssignItemsAt(1, index, &field);
}

ArrayIndexT THeaderFieldList::AppendItem(THeaderField* field) {
    return AddItem(&field);
}

void THeaderFieldList::RemoveItem(ArrayIndexT index) {
    if (!ValidIndex(index)) return;
    delete FieldAt(index);
    RemoveItemsAt(1, index);
}

ArrayIndexT THeaderFieldList::FindTitle(std::string_view title) const {
    THeaderField key(title, "");
    THeaderField* pointer = &key;
    return FetchIndexOf(&pointer);
}
