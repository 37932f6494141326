#include "network/TInternetMessageList.h"

#include "network/TMIMEMessage.h"

TInternetMessageList::TInternetMessageList() : LArray(sizeof(TMIMEMessage*), nullptr, false) {}

TInternetMessageList::~TInternetMessageList() {
    ResetList();
}

TMIMEMessage* TInternetMessageList::MessageAt(ArrayIndexT index) const {
    TMIMEMessage* message = nullptr;
    return FetchItemAt(index, &message) ? message : nullptr;
}

void TInternetMessageList::ResetList() {
    for (ArrayIndexT index = 1; index <= static_cast<ArrayIndexT>(GetCount()); ++index)
        delete MessageAt(index);
    RemoveItemsAt(GetCount(), index_First);
}

void TInternetMessageList::SetItemAt(ArrayIndexT index, TMIMEMessage* message) {
    if (!ValidIndex(index)) return;
    delete MessageAt(index);
    AssignItemsAt(1, index, &message);
}

ArrayIndexT TInternetMessageList::AppendItem(TMIMEMessage* message) {
    return AddItem(&message);
}

void TInternetMessageList::RemoveItem(ArrayIndexT index) {
    if (!ValidIndex(index)) return;
    delete MessageAt(index);
    RemoveItemsAt(1, index);
}
