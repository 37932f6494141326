#include "network/TMailMessage.h"

#include <cstring>
#include <ctime>

#include "core/TDynamicBuffer.h"
#include "core/UDates.h"
#include "network/THeaderField.h"
#include "network/UInternet.h"

TMailMessage::TMailMessage()
    : fTo(UInternet::kListItemSize), fCC(UInternet::kListItemSize), fBCC(UInternet::kListItemSize) {
    InitMessage();
}

TMailMessage::TMailMessage(const char* text, size_t length) : TMailMessage() {
    SetMessage(text, length);
}

void TMailMessage::InitMessage() {
    SetDateTime(GetCurrentDate());
    fGMTOffsetHours = UInternet::GetGMTOffset() / 3600;
}

void TMailMessage::ResetMembers() {
    fTo.RemoveItemsAt(fTo.GetCount(), index_First);
    fCC.RemoveItemsAt(fCC.GetCount(), index_First);
    fBCC.RemoveItemsAt(fBCC.GetCount(), index_First);
    fCustomTo.clear();
    fCustomCC.clear();
    fUseCustomTo = fUseCustomCC = false;
    fFrom.clear();
    fSubject.clear();
    fMessageID.clear();
    fStatus.clear();
    fRead = false;
    fDate = 0;
    fDateSet = false;
    TMIMEMessage::ResetMembers();
}

void TMailMessage::AddAddress(LArray& list, const char* address) {
    if (address && *address) UInternet::CommaStringToList(address, list);
}

void TMailMessage::SetAddresses(LArray& list, const char* addresses) {
    list.RemoveItemsAt(list.GetCount(), index_First);
    AddAddress(list, addresses);
}

void TMailMessage::SetTo(const char* addresses) {
    SetAddresses(fTo, addresses);
}

void TMailMessage::AddTo(const char* address) {
    AddAddress(fTo, address);
}

void TMailMessage::SetCC(const char* addresses) {
    SetAddresses(fCC, addresses);
}

void TMailMessage::AddCC(const char* address) {
    AddAddress(fCC, address);
}

void TMailMessage::SetBCC(const char* addresses) {
    SetAddresses(fBCC, addresses);
}

void TMailMessage::AddBCC(const char* address) {
    AddAddress(fBCC, address);
}

void TMailMessage::SetCustomTo(const char* text) {
    fUseCustomTo = text != nullptr;
    fCustomTo = text ? text : "";
}

void TMailMessage::SetCustomCC(const char* text) {
    fUseCustomCC = text != nullptr;
    fCustomCC = text ? text : "";
}

void TMailMessage::SetMessageID(const char* id) {
    if (!id || !*id) {
        fMessageID.clear();
        return;
    }
    fMessageID = id[0] == '<' ? std::string(id) : "<" + std::string(id) + ">";
}

void TMailMessage::SetDateTime(UInt32 date) {
    fDate = date;
    fDateSet = true;
}

void TMailMessage::SetStatus(const char* status) {
    fStatus = status ? status : "";
    fRead = !fStatus.empty() && (fStatus[0] == 'R' || fStatus[0] == 'r');
}

std::string TMailMessage::DateText() const {
    if (!fDateSet || fDate == 0) return {};
    time_t unixTime = static_cast<time_t>(fDate) + kUnixTo2001;
    tm local{};
    localtime_r(&unixTime, &local);
    char text[64];
    if (std::strftime(text, sizeof text, "%a, %d-%b-%Y %H:%M:%S %z", &local) == 0) return {};
    return text;
}

void TMailMessage::BuildHeader(TDynamicBuffer& buffer) {
    TMIMEMessage::BuildHeader(buffer);
    if (fCustomHeader) return;
    AddFieldToBuffer("Message-Id", fMessageID.c_str(), buffer);
    AddFieldToBuffer("Date", DateText().c_str(), buffer);
    if (fUseCustomTo) {
        AddFieldToBuffer("To", fCustomTo.c_str(), buffer);
    } else {
        AddFieldToBuffer("To", &fTo, buffer);
    }
    if (fUseCustomCC) {
        AddFieldToBuffer("CC", fCustomCC.c_str(), buffer);
    } else {
        AddFieldToBuffer("CC", &fCC, buffer);
    }
    AddFieldToBuffer("From", fFrom.c_str(), buffer);
    AddFieldToBuffer("Subject", fSubject.c_str(), buffer);
}

void TMailMessage::GetDefaultsFromHeader() {
    TMIMEMessage::GetDefaultsFromHeader();
    THeaderField field;
    auto read = [&](const char* name) -> const char* {
        return UInternet::FindField(name, fHeader, field) ? field.GetBody().c_str() : nullptr;
    };
    if (const char* id = read("Message-Id")) SetMessageID(id);
    if (const char* date = read("Date")) SetDateTime(MsgDateToDate(date));
    if (const char* to = read("To")) SetTo(to);
    if (const char* cc = read("CC")) SetCC(cc);
    if (const char* bcc = read("BCC")) SetBCC(bcc);
    if (const char* from = read("From")) SetFrom(from);
    if (const char* subject = read("Subject")) SetSubject(subject);
    if (const char* status = read("Status")) SetStatus(status);
}

bool TMailMessage::CheckBody() {
    TInternetMessageList& parts = GetMessageBodyList();
    if (parts.GetCount() == 0) return UInternet::CheckSMTPValid(fBody);
    for (ArrayIndexT index = 1; index <= static_cast<ArrayIndexT>(parts.GetCount()); ++index) {
        auto body = parts.MessageAt(index)->GetMessageBody();
        if (!UInternet::CheckSMTPValid(*body)) return false;
    }
    return true;
}

bool TMailMessage::ReadyToSend() {
    if (fFrom.empty()) return false;
    UInt32 recipients = fTo.GetCount() + fCC.GetCount() + fBCC.GetCount();
    if (recipients < 1 || recipients > kMaxRecipients) return false;
    return CheckBody();
}

void TMailMessage::Clone(const TMailMessage& other) {
    TMIMEMessage::Clone(other);
    fTo = other.fTo;
    fCC = other.fCC;
    fBCC = other.fBCC;
    fCustomTo = other.fCustomTo;
    fCustomCC = other.fCustomCC;
    fUseCustomTo = other.fUseCustomTo;
    fUseCustomCC = other.fUseCustomCC;
    fFrom = other.fFrom;
    fSubject = other.fSubject;
    fMessageID = other.fMessageID;
    fStatus = other.fStatus;
    fRead = other.fRead;
    fDate = other.fDate;
    fDateSet = other.fDateSet;
    fGMTOffsetHours = other.fGMTOffsetHours;
}
