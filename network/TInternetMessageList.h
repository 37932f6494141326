// The body parts of a multipart message, owned, in the order they were added.
#pragma once

#include "core/LArray.h"

class TMIMEMessage;

class TInternetMessageList : public LArray {
public:
    TInternetMessageList();
    ~TInternetMessageList() override;
    TInternetMessageList(const TInternetMessageList&) = delete;
    TInternetMessageList& operator=(const TInternetMessageList&) = delete;

    void ResetList();
    // Deletes the message at the index, then stores the new one there.
    void SetItemAt(ArrayIndexT index, TMIMEMessage* message);
    // The list takes the message over.
    ArrayIndexT AppendItem(TMIMEMessage* message);
    void RemoveItem(ArrayIndexT index);
    TMIMEMessage* MessageAt(ArrayIndexT index) const;
};
