// An RFC 822-style message: a header and a body in a spilling byte buffer. The header is either
// a list of fields the message builds itself or, once a header was received, that header text
// (the custom header), on which the field operations then work.
//
// Not thread-safe.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "core/TDynamicBuffer.h"
#include "network/THeaderFieldList.h"

class LArray;
class THeaderField;
class TStream;

class TInternetMessage {
public:
    TInternetMessage();
    // A length of 0 means the text's own.
    TInternetMessage(const char* text, size_t length);
    explicit TInternetMessage(TDynamicBuffer& buffer);
    virtual ~TInternetMessage() = default;
    TInternetMessage(const TInternetMessage&) = delete;
    TInternetMessage& operator=(const TInternetMessage&) = delete;

    virtual void InitMembers();
    virtual void ResetMembers();
    virtual bool HasCustomHeader() const { return fCustomHeader; }

    // Header, CR LF and body; the caller owns the new buffer.
    virtual std::unique_ptr<TDynamicBuffer> GetMessage();
    virtual void GetMessage(TDynamicBuffer& buffer);
    virtual void SetMessage(const char* text, size_t length);
    virtual void SetMessage(TDynamicBuffer& buffer);
    // A negative length takes the whole stream from its start.
    virtual void SetMessage(TStream& stream, SInt64 length);
    // With headerOnly the header and CR LF go into the buffer (false); otherwise the buffer
    // reads the body's stream without owning it (true).
    virtual bool GetPartialMessage(TDynamicBuffer& buffer, bool headerOnly);
    // For data arriving in pieces: once a header is complete, the bytes go to the body and the
    // buffer is emptied; before that the bytes stay in the buffer.
    virtual void SetPartialMessage(TDynamicBuffer& buffer);
    virtual std::unique_ptr<TDynamicBuffer> GetHeader();
    // False when the buffer holds no complete header; with `remove` the header is cut from it.
    virtual bool SetHeader(TDynamicBuffer& buffer, bool remove);
    virtual void SetHeader(const char* text, size_t length);
    virtual std::unique_ptr<TDynamicBuffer> GetMessageBody();
    virtual void SetMessageBody(const char* text, size_t length);
    // With adopt the body takes the stream over; otherwise `length` bytes are copied from it.
    virtual void SetMessageBody(TStream* stream, SInt64 length, bool adopt);

    virtual THeaderFieldList& GetArbitraryFieldList() { return fFields; }
    virtual bool GetArbitraryField(std::string_view name, THeaderField& field) const;
    // The list index of a field with exactly that title; 0 when none.
    virtual ArrayIndexT GetArbitraryFieldIndex(std::string_view name) const;
    // Replaces any field of that name; a null value only removes it.
    virtual void SetArbitraryField(std::string_view name, const char* value);
    virtual void RemoveArbitraryField(std::string_view name);
    virtual void AddArbitraryField(std::string_view name, const char* value) {
        SetArbitraryField(name, value);
    }
    virtual TDynamicBuffer& GetInternalMessageBody() { return fBody; }
    virtual const std::string& GetInternalHeaderString() const { return fHeader; }
    // Subclasses read their fields from a received header here.
    virtual void GetDefaultsFromHeader() {}
    virtual void BuildHeader(TDynamicBuffer& buffer);
    // False when there is no body to write.
    virtual bool BuildMessageBody(TDynamicBuffer& buffer);

    void Clone(const TInternetMessage& other);

    static void AddFieldToBuffer(const THeaderField& field, TDynamicBuffer& buffer);
    static void AddFieldToBuffer(const char* name, const char* value, TDynamicBuffer& buffer);
    static void AddFieldToBuffer(const char* name, const LArray* list, TDynamicBuffer& buffer);

protected:
    static void Append(TDynamicBuffer& buffer, std::string_view text);

    std::string fHeader;
    TDynamicBuffer fBody;
    THeaderFieldList fFields;
    bool fCustomHeader{false};
};
