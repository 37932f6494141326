// An internet message with MIME: the "MIME-Version" and "Content-Type" fields, and multipart
// bodies split into part messages at boundary lines, written whole or piece by piece and read
// whole or as the bytes arrive.
//
// Not thread-safe.
#pragma once

#include <string>

#include "network/TInternetMessage.h"
#include "network/TInternetMessageList.h"

class TMIMEMessage : public TInternetMessage {
public:
    static constexpr const char* kDefaultMIMEVersion = "1.0";
    static constexpr const char* kDefaultContentType = "text/plain; charset=\"us-ascii\"";
    static constexpr const char* kMultipartDefault = "multipart/mixed";

    TMIMEMessage();
    TMIMEMessage(const char* text, size_t length);
    explicit TMIMEMessage(TDynamicBuffer& buffer);
    TMIMEMessage(TStream& stream, SInt64 length);
    TMIMEMessage(const TMIMEMessage& other);
    ~TMIMEMessage() override = default;

    void InitMembers() override;
    void ResetMembers() override;

    // Null throws 'nilP'; the message itself throws 'asrt'. A single body gives way to the parts.
    virtual void AddMessageBodySegment(TMIMEMessage* part);
    virtual TInternetMessageList& GetMessageBodyList() { return fParts; }
    virtual bool GetIsMIME() const { return fIsMIME; }
    virtual const std::string& GetMIMEVersion() const { return fMIMEVersion; }
    virtual void SetIsMIME(bool isMIME, const char* version);
    // Null generates "==_Boundary-<depth>_==".
    virtual void SetBoundary(const char* boundary);
    virtual const std::string& GetBoundary();
    // Null or empty gives the default for the body; a boundary parameter moves to the boundary.
    virtual void SetContentType(const char* type);
    virtual const std::string& GetContentType() const { return fContentType; }
    virtual void SetMIMEPreamble(const char* text, size_t length);
    virtual const std::string& GetMIMEPreamble() const { return fPreamble; }
    // The bytes BuildMessageBody writes.
    virtual SInt64 GetMessageBodySize();
    virtual void AdjustSegmentDepth(SInt32 depth);
    // Leaves the marker at the start of the next boundary line (true), or where it was (false).
    virtual bool FindBoundaryInStream(TStream& stream);
    virtual bool IsTerminationBoundary(TStream& stream);

    bool IsMultipart() const;
    SInt32 GetSegmentDepth() const { return fSegmentDepth; }

    bool GetPartialMessage(TDynamicBuffer& buffer, bool headerOnly) override;
    void SetPartialMessage(TDynamicBuffer& buffer) override;
    void SetMessageBody(const char* text, size_t length) override;
    void SetMessageBody(TStream* stream, SInt64 length, bool adopt) override;
    void GetDefaultsFromHeader() override;
    void BuildHeader(TDynamicBuffer& buffer) override;
    bool BuildMessageBody(TDynamicBuffer& buffer) override;

    void Clone(const TMIMEMessage& other);

private:
    enum class Delimiter { kNone, kIncomplete, kPart, kEnd };

    // Looks for a boundary line starting at or after `from` at a line start; gives where the
    // line starts (with the CR LF before it, which belongs to it) and where it ends. `whole`: the
    // text is all there is, so a close may end it without a line end.
    Delimiter FindDelimiter(const std::string& text, size_t from, bool atStart, bool whole, size_t& lineStart,
                            size_t& delimiterStart, size_t& lineEnd);
    void ParseParts(const std::string& text);
    void SetPreambleText(std::string_view text);
    void FeedPart(std::string_view bytes);
    void EndPart();
    std::string BoundaryLine(bool last);

    bool fIsMIME{false};
    std::string fMIMEVersion;
    std::string fPreamble;
    std::string fContentType;
    std::string fBoundary;
    SInt32 fSegmentDepth{1};
    SInt32 fPartCounter{0};
    bool fWritingHeaderNext{false};
    bool fBoundaryWritten{false};
    bool fInsidePart{false};
    TInternetMessageList fParts;
    // Multipart bytes received but not yet placed, and what the current part left unread.
    std::string fPending;
    TDynamicBuffer fPartCarry;
    // Whether the first pending byte begins a line.
    bool fAtLineStart{true};
    bool fBodyDone{false};
};
