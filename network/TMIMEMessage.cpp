#include "network/TMIMEMessage.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/UStringFunctions.h"
#include "network/NetworkErrors.h"
#include "network/THeaderField.h"
#include "network/UInternet.h"

namespace {

constexpr const char* kBoundaryParameter = "boundary=";

bool IsLineSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

}  // namespace

TMIMEMessage::TMIMEMessage() = default;

TMIMEMessage::TMIMEMessage(const char* text, size_t length) {
    SetMessage(text, length);
}

TMIMEMessage::TMIMEMessage(TDynamicBuffer& buffer) {
    SetMessage(buffer);
}

TMIMEMessage::TMIMEMessage(TStream& stream, SInt64 length) {
    SetMessage(stream, length);
}

TMIMEMessage::TMIMEMessage(const TMIMEMessage& other) : TInternetMessage() {
    Clone(other);
}

void TMIMEMessage::InitMembers() {
    fIsMIME = false;
    fSegmentDepth = 1;
    fPartCounter = 0;
    fWritingHeaderNext = false;
    fBoundaryWritten = false;
    fInsidePart = false;
    fParts.ResetList();
    fPending.clear();
    fPartCarry.ResetBuffer();
    fAtLineStart = true;
    fBodyDone = false;
    TInternetMessage::InitMembers();
}

void TMIMEMessage::ResetMembers() {
    fPreamble.clear();
    fContentType.clear();
    fBoundary.clear();
    TInternetMessage::ResetMembers();
}

bool TMIMEMessage::IsMultipart() const {
    return CIstrstr(fContentType.c_str(), "multipart") != nullptr;
}

void TMIMEMessage::SetIsMIME(bool isMIME, const char* version) {
    fIsMIME = isMIME;
    if (!isMIME) {
        fMIMEVersion.clear();
        fContentType.clear();
        return;
    }
    fMIMEVersion = version ? version : kDefaultMIMEVersion;
    if (fContentType.empty()) SetContentType(nullptr);
}

void TMIMEMessage::SetBoundary(const char* boundary) {
    if (boundary) {
        fBoundary = boundary;
        return;
    }
    char generated[64];
    std::snprintf(generated, sizeof generated, "==_Boundary-%i_==", static_cast<int>(fSegmentDepth));
    fBoundary = generated;
}

const std::string& TMIMEMessage::GetBoundary() {
    if (fBoundary.empty()) SetBoundary(nullptr);
    return fBoundary;
}

void TMIMEMessage::SetContentType(const char* type) {
    fContentType.clear();
    if (!type || !*type) {
        fContentType = fParts.GetCount() > 0 ? kMultipartDefault : kDefaultContentType;
    } else {
        fContentType = type;
        const char* parameter = IsMultipart() ? CIstrstr(fContentType.c_str(), kBoundaryParameter) : nullptr;
        if (parameter) {
            size_t at = static_cast<size_t>(parameter - fContentType.c_str());
            std::string value = fContentType.substr(at + std::strlen(kBoundaryParameter));
            if (value.starts_with("\"")) {
                size_t close = value.find('"', 1);
                value = value.substr(1, close == std::string::npos ? std::string::npos : close - 1);
            } else {
                // Servers also send the value bare.
                value = value.substr(0, value.find_first_of("; \t\r\n"));
            }
            if (!value.empty()) fBoundary = value;
            fContentType.erase(at);
            while (!fContentType.empty() && (fContentType.back() == ';' || fContentType.back() == ' ')) {
                fContentType.pop_back();
            }
        }
    }
    if (!fIsMIME) SetIsMIME(true, kDefaultMIMEVersion);
}

void TMIMEMessage::SetMIMEPreamble(const char* text, size_t length) {
    if (!text) return;
    if (length == 0) length = std::strlen(text);
    if (length == 0) return;
    std::string_view preamble(text, length);
    while (!preamble.empty() && (preamble.back() == '\r' || preamble.back() == '\n'))
        preamble.remove_suffix(1);
    fPreamble.assign(preamble);
    if (!fPreamble.empty()) fPreamble += "\r\n";
}

void TMIMEMessage::SetPreambleText(std::string_view text) {
    // A length of 0 would mean the text's own length to SetMIMEPreamble.
    fPreamble.clear();
    if (!text.empty()) SetMIMEPreamble(text.data(), text.size());
}

void TMIMEMessage::AddMessageBodySegment(TMIMEMessage* part) {
    if (!part) throw kMissingObjectErr;
    if (part == this) throw kAssertionErr;
    if (fBody.GetBufferStream()->GetLength() > 0) fBody.ResetBuffer();
    fParts.AppendItem(part);
    part->AdjustSegmentDepth(fSegmentDepth + 1);
    SetIsMIME(true, kDefaultMIMEVersion);
}

void TMIMEMessage::AdjustSegmentDepth(SInt32 depth) {
    fSegmentDepth = depth;
    for (ArrayIndexT index = 1; index <= static_cast<ArrayIndexT>(fParts.GetCount()); ++index) {
        fParts.MessageAt(index)->AdjustSegmentDepth(depth + 1);
    }
}

std::string TMIMEMessage::BoundaryLine(bool last) {
    return "\r\n--" + GetBoundary() + (last ? "--\r\n" : "\r\n");
}

SInt64 TMIMEMessage::GetMessageBodySize() {
    if (fParts.GetCount() == 0) return fBody.GetBufferStream()->GetLength();
    SInt64 size = static_cast<SInt64>(fPreamble.size());
    for (ArrayIndexT index = 1; index <= static_cast<ArrayIndexT>(fParts.GetCount()); ++index) {
        TMIMEMessage* part = fParts.MessageAt(index);
        size += static_cast<SInt64>(BoundaryLine(false).size());
        size += part->GetHeader()->GetBufferStream()->GetLength() + 2;
        size += part->GetMessageBodySize();
    }
    return size + static_cast<SInt64>(BoundaryLine(true).size());
}

void TMIMEMessage::GetDefaultsFromHeader() {
    THeaderField field;
    if (UInternet::FindField("MIME-Version", fHeader, field)) SetIsMIME(true, field.GetBody().c_str());
    if (UInternet::FindField("Content-Type", fHeader, field)) SetContentType(field.GetBody().c_str());
}

void TMIMEMessage::BuildHeader(TDynamicBuffer& buffer) {
    TInternetMessage::BuildHeader(buffer);
    if (fCustomHeader) return;
    if (fIsMIME) AddFieldToBuffer("MIME-Version", fMIMEVersion.c_str(), buffer);
    if (fContentType.empty()) return;
    std::string type = fContentType;
    if (IsMultipart()) type += "; " + std::string(kBoundaryParameter) + "\"" + GetBoundary() + "\"";
    AddFieldToBuffer("Content-Type", type.c_str(), buffer);
}

bool TMIMEMessage::BuildMessageBody(TDynamicBuffer& buffer) {
    if (fParts.GetCount() == 0) return TInternetMessage::BuildMessageBody(buffer);
    Append(buffer, fPreamble);
    for (ArrayIndexT index = 1; index <= static_cast<ArrayIndexT>(fParts.GetCount()); ++index) {
        Append(buffer, BoundaryLine(false));
        fParts.MessageAt(index)->GetMessage(buffer);
    }
    Append(buffer, BoundaryLine(true));
    return true;
}

bool TMIMEMessage::GetPartialMessage(TDynamicBuffer& buffer, bool headerOnly) {
    buffer.ResetBuffer();
    if (fParts.GetCount() == 0) return TInternetMessage::GetPartialMessage(buffer, headerOnly);
    if (headerOnly) {
        fPartCounter = 1;
        fBoundaryWritten = false;
        BuildHeader(buffer);
        Append(buffer, "\r\n");
        return false;
    }
    if (fPartCounter < 1) fPartCounter = 1;
    if (fPartCounter > static_cast<SInt32>(fParts.GetCount())) {
        Append(buffer, BoundaryLine(true));
        fPartCounter = 1;
        fBoundaryWritten = false;
        return true;
    }
    if (!fBoundaryWritten) {
        // The preamble goes before the first part, as in the whole message.
        if (fPartCounter == 1) Append(buffer, fPreamble);
        Append(buffer, BoundaryLine(false));
        fBoundaryWritten = true;
        fWritingHeaderNext = true;
        return false;
    }
    TMIMEMessage* part = fParts.MessageAt(fPartCounter);
    if (fWritingHeaderNext) {
        fWritingHeaderNext = false;
        part->GetPartialMessage(buffer, true);
        return false;
    }
    if (part->GetPartialMessage(buffer, false)) {
        ++fPartCounter;
        fBoundaryWritten = false;
    }
    return false;
}

TMIMEMessage::Delimiter TMIMEMessage::FindDelimiter(const std::string& text, size_t from, bool atStart,
                                                    bool whole, size_t& lineStart, size_t& delimiterStart,
                                                    size_t& lineEnd) {
    const std::string dashes = "--" + GetBoundary();
    for (size_t at = text.find(dashes, from); at != std::string::npos; at = text.find(dashes, at + 1)) {
        bool lineBegins = (at == 0 && atStart) || (at > 0 && text[at - 1] == '\n');
        if (!lineBegins) continue;
        size_t after = at + dashes.size();
        if (after + 2 > text.size()) return Delimiter::kIncomplete;
        bool last = text.compare(after, 2, "--") == 0;
        // Only blanks may follow the boundary, or its closing "--", on a delimiter line.
        const size_t blanks = last ? after + 2 : after;
        size_t end = text.find('\n', blanks);
        const size_t lineEnds = end == std::string::npos ? text.size() : end;
        if (!std::all_of(text.begin() + static_cast<std::ptrdiff_t>(blanks),
                         text.begin() + static_cast<std::ptrdiff_t>(lineEnds), IsLineSpace))
            continue;
        // Until its line ends, a close of bytes still arriving may yet be followed by more text.
        if (end == std::string::npos && (!last || !whole)) return Delimiter::kIncomplete;
        delimiterStart = at;
        lineStart = at;
        // The line end before it belongs to it, unless an earlier line already took it.
        if (lineStart > from && text[lineStart - 1] == '\n') --lineStart;
        if (lineStart > from && lineStart < at && text[lineStart - 1] == '\r') --lineStart;
        lineEnd = end == std::string::npos ? text.size() : end + 1;
        return last ? Delimiter::kEnd : Delimiter::kPart;
    }
    return Delimiter::kNone;
}

void TMIMEMessage::FeedPart(std::string_view bytes) {
    TMIMEMessage* part = fParts.MessageAt(fPartCounter);
    if (!part || bytes.empty()) return;
    fPartCarry.ConcatenateBuffer(bytes.data(), static_cast<SInt32>(bytes.size()));
    part->SetPartialMessage(fPartCarry);
}

void TMIMEMessage::EndPart() {
    TMIMEMessage* part = fParts.MessageAt(fPartCounter);
    // A part that never showed an empty line is all body, as in a whole message.
    if (part && !part->HasCustomHeader() && fPartCarry.GetBufferStream()->GetLength() > 0) {
        std::string body = UInternet::BufferText(fPartCarry);
        part->SetMessageBody(body.data(), body.size());
    }
    fPartCarry.ResetBuffer();
    fInsidePart = false;
    ++fPartCounter;
}

void TMIMEMessage::SetPartialMessage(TDynamicBuffer& buffer) {
    if (!fCustomHeader) {
        if (!SetHeader(buffer, true)) return;
        fPartCounter = 1;
        fInsidePart = false;
    }
    if (!IsMultipart() || !fIsMIME) {
        TInternetMessage::SetPartialMessage(buffer);
        return;
    }
    fPending += UInternet::BufferText(buffer);
    buffer.ResetBuffer();
    while (!fBodyDone && !fPending.empty()) {
        size_t lineStart = 0, delimiterStart = 0, lineEnd = 0;
        Delimiter found = FindDelimiter(fPending, 0, fAtLineStart, false, lineStart, delimiterStart, lineEnd);
        if (!fInsidePart) {
            if (found == Delimiter::kNone || found == Delimiter::kIncomplete) return;
            if (fParts.GetCount() == 0) SetPreambleText(std::string_view(fPending).substr(0, lineStart));
            fPending.erase(0, lineEnd);
            fAtLineStart = true;
            if (found == Delimiter::kEnd) {
                fBodyDone = true;
                break;
            }
            fInsidePart = true;
            if (fParts.GetCount() < static_cast<UInt32>(fPartCounter)) {
                auto* part = new TMIMEMessage;
                AddMessageBodySegment(part);
            }
            continue;
        }
        if (found == Delimiter::kPart || found == Delimiter::kEnd) {
            FeedPart(std::string_view(fPending).substr(0, lineStart));
            EndPart();
            // The boundary line is read again by the not-inside pass.
            fPending.erase(0, delimiterStart);
            fAtLineStart = true;
            continue;
        }
        // Keep a tail that may be the start of the next boundary line.
        size_t keep = std::min(fPending.size(), GetBoundary().size() + 4);
        if (found == Delimiter::kIncomplete) keep = fPending.size() - std::min(fPending.size(), lineStart);
        const size_t fed = fPending.size() - keep;
        if (fed == 0) return;
        FeedPart(std::string_view(fPending).substr(0, fed));
        fAtLineStart = fPending[fed - 1] == '\n';
        fPending.erase(0, fed);
        return;
    }
    if (fBodyDone) fPending.clear();
}

void TMIMEMessage::ParseParts(const std::string& text) {
    size_t lineStart = 0, delimiterStart = 0, lineEnd = 0;
    Delimiter found = FindDelimiter(text, 0, true, true, lineStart, delimiterStart, lineEnd);
    if (found != Delimiter::kPart) {
        TInternetMessage::SetMessageBody(text.data(), text.size());
        return;
    }
    SetPreambleText(std::string_view(text).substr(0, lineStart));
    size_t from = lineEnd;
    for (;;) {
        size_t nextStart = 0, nextDelimiter = 0, nextEnd = 0;
        Delimiter next = FindDelimiter(text, from, false, true, nextStart, nextDelimiter, nextEnd);
        if (next != Delimiter::kPart && next != Delimiter::kEnd) break;
        auto* part = new TMIMEMessage;
        // A length of 0 would mean the rest of the text to SetMessage.
        if (nextStart > from) part->SetMessage(text.data() + from, nextStart - from);
        AddMessageBodySegment(part);
        if (next == Delimiter::kEnd) break;
        from = nextEnd;
    }
}

void TMIMEMessage::SetMessageBody(const char* text, size_t length) {
    fParts.ResetList();
    if (!text) {
        TInternetMessage::SetMessageBody(text, length);
        return;
    }
    if (length == 0) length = std::strlen(text);
    std::string body(text, length);
    if (IsMultipart() && fIsMIME && body.find("--" + GetBoundary()) != std::string::npos) {
        fBody.ResetBuffer();
        ParseParts(body);
        return;
    }
    TInternetMessage::SetMessageBody(text, length);
}

void TMIMEMessage::SetMessageBody(TStream* stream, SInt64 length, bool adopt) {
    if (!stream || !IsMultipart() || !fIsMIME) {
        TInternetMessage::SetMessageBody(stream, length, adopt);
        return;
    }
    length = std::max<SInt64>(0, std::min(length, stream->GetLength() - stream->GetMarker()));
    std::string body(static_cast<size_t>(length), '\0');
    SInt32 got = body.empty() ? 0 : stream->ReadData(body.data(), static_cast<SInt32>(body.size()));
    body.resize(static_cast<size_t>(got));
    if (adopt) delete stream;
    SetMessageBody(body.data(), body.size());
}

bool TMIMEMessage::FindBoundaryInStream(TStream& stream) {
    const SInt64 saved = stream.GetMarker();
    const std::string dashes = "--" + GetBoundary();
    std::string line(dashes.size(), '\0');
    while (stream.GetMarker() < stream.GetLength()) {
        const SInt64 lineStart = stream.GetMarker();
        SInt32 got = stream.PeekData(line.data(), static_cast<SInt32>(line.size()));
        if (got == static_cast<SInt32>(line.size()) && line == dashes) {
            stream.SetMarker(lineStart, kStreamFromStart);
            return true;
        }
        UInternet::PointToNextLine(stream);
        if (stream.GetMarker() == lineStart) break;
    }
    stream.SetMarker(saved, kStreamFromStart);
    return false;
}

bool TMIMEMessage::IsTerminationBoundary(TStream& stream) {
    const std::string terminator = "--" + GetBoundary() + "--";
    std::string bytes(terminator.size(), '\0');
    return stream.PeekData(bytes.data(), static_cast<SInt32>(bytes.size())) ==
               static_cast<SInt32>(bytes.size()) &&
           bytes == terminator;
}

void TMIMEMessage::Clone(const TMIMEMessage& other) {
    TInternetMessage::Clone(other);
    for (ArrayIndexT index = 1; index <= static_cast<ArrayIndexT>(other.fParts.GetCount()); ++index) {
        AddMessageBodySegment(new TMIMEMessage(*other.fParts.MessageAt(index)));
    }
    fIsMIME = other.fIsMIME;
    fMIMEVersion = other.fMIMEVersion;
    fPreamble = other.fPreamble;
    fContentType = other.fContentType;
    fBoundary = other.fBoundary;
    fSegmentDepth = other.fSegmentDepth;
    fPartCounter = other.fPartCounter;
    fWritingHeaderNext = other.fWritingHeaderNext;
    fBoundaryWritten = other.fBoundaryWritten;
    fInsidePart = other.fInsidePart;
}
