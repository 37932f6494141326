// A MIME message with the mail header fields: To, CC and BCC lists, From, Subject, Date and
// Message-Id, and a read status.
//
// Not thread-safe.
#pragma once

#include <string>

#include "core/LArray.h"
#include "network/TMIMEMessage.h"

class TMailMessage : public TMIMEMessage {
public:
    static constexpr UInt32 kMaxRecipients = 100;

    TMailMessage();
    TMailMessage(const char* text, size_t length);
    ~TMailMessage() override = default;

    // Dated now, in the local zone.
    void InitMessage();
    void ResetMembers() override;

    LArray& GetTo() { return fTo; }
    LArray& GetCC() { return fCC; }
    LArray& GetBCC() { return fBCC; }
    // Each address text is split into the list at commas, blanks and tabs.
    void SetTo(const char* addresses);
    void AddTo(const char* address);
    void SetCC(const char* addresses);
    void AddCC(const char* address);
    void SetBCC(const char* addresses);
    void AddBCC(const char* address);
    // Written as they are in place of the lists; null returns to the lists.
    void SetCustomTo(const char* text);
    void SetCustomCC(const char* text);

    void SetFrom(const char* from) { fFrom = from ? from : ""; }
    const std::string& GetFrom() const { return fFrom; }
    void SetSubject(const char* subject) { fSubject = subject ? subject : ""; }
    const std::string& GetSubject() const { return fSubject; }
    // Enclosed in "<" and ">" unless it starts with "<".
    void SetMessageID(const char* id);
    const std::string& GetMessageID() const { return fMessageID; }
    // Seconds since 2001.
    void SetDateTime(UInt32 date);
    UInt32 GetDateTime() const { return fDate; }
    bool HasDate() const { return fDateSet; }
    void SetGMTOffset(SInt32 hours) { fGMTOffsetHours = hours; }
    SInt32 GetGMTOffset() const { return fGMTOffsetHours; }
    void SetStatus(const char* status);
    const std::string& GetStatus() const { return fStatus; }
    bool IsRead() const { return fRead; }

    // A sender, 1 to 100 recipients over To, CC and BCC, and bodies SMTP can carry.
    bool ReadyToSend();
    bool CheckBody();

    void GetDefaultsFromHeader() override;
    void BuildHeader(TDynamicBuffer& buffer) override;

    void Clone(const TMailMessage& other);

private:
    static void AddAddress(LArray& list, const char* address);
    static void SetAddresses(LArray& list, const char* addresses);
    std::string DateText() const;

    LArray fTo;
    LArray fCC;
    LArray fBCC;
    std::string fCustomTo;
    std::string fCustomCC;
    bool fUseCustomTo{false};
    bool fUseCustomCC{false};
    std::string fFrom;
    std::string fSubject;
    std::string fMessageID;
    std::string fStatus;
    bool fRead{false};
    UInt32 fDate{0};
    bool fDateSet{false};
    SInt32 fGMTOffsetHours{0};
};
