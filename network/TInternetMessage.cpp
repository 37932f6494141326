#include "network/TInternetMessage.h"

#include <cstring>

#include "network/NetworkErrors.h"
#include "network/THeaderField.h"
#include "network/UInternet.h"

TInternetMessage::TInternetMessage() = default;

TInternetMessage::TInternetMessage(const char* text, size_t length) {
    TInternetMessage::SetMessage(text, length);
}

TInternetMessage::TInternetMessage(TDynamicBuffer& buffer) {
    TInternetMessage::SetMessage(buffer);
}

void TInternetMessage::Append(TDynamicBuffer& buffer, std::string_view text) {
    if (!text.empty()) buffer.ConcatenateBuffer(text.data(), static_cast<SInt32>(text.size()));
}

void TInternetMessage::InitMembers() {
    fBody.ResetBuffer();
    fHeader.clear();
    fCustomHeader = false;
    fFields.ResetList();
}

void TInternetMessage::ResetMembers() {
    InitMembers();
}

void TInternetMessage::GetMessage(TDynamicBuffer& buffer) {
    BuildHeader(buffer);
    Append(buffer, "\r\n");
    BuildMessageBody(buffer);
}

std::unique_ptr<TDynamicBuffer> TInternetMessage::GetMessage() {
    auto buffer = std::make_unique<TDynamicBuffer>();
    GetMessage(*buffer);
    return buffer;
}

std::unique_ptr<TDynamicBuffer> TInternetMessage::GetHeader() {
    auto buffer = std::make_unique<TDynamicBuffer>();
    BuildHeader(*buffer);
    return buffer;
}

std::unique_ptr<TDynamicBuffer> TInternetMessage::GetMessageBody() {
    auto buffer = std::make_unique<TDynamicBuffer>();
    BuildMessageBody(*buffer);
    return buffer;
}

void TInternetMessage::SetMessage(const char* text, size_t length) {
    ResetMembers();
    if (!text) return;
    if (length == 0) length = std::strlen(text);
    size_t bodyStart = UInternet::FindBodyStarts(text, length);
    if (bodyStart != 0) SetHeader(text, bodyStart);
    if (bodyStart < length) SetMessageBody(text + bodyStart, length - bodyStart);
}

void TInternetMessage::SetMessage(TDynamicBuffer& buffer) {
    ResetMembers();
    SInt64 bodyStart = UInternet::FindBodyStarts(buffer);
    std::string text = UInternet::BufferText(buffer);
    if (bodyStart != 0) SetHeader(text.data(), static_cast<size_t>(bodyStart));
    TStream* stream = buffer.GetBufferStream();
    stream->SetMarker(bodyStart, kStreamFromStart);
    SetMessageBody(stream, stream->GetLength() - bodyStart, false);
}

void TInternetMessage::SetMessage(TStream& stream, SInt64 length) {
    ResetMembers();
    if (length < 0) {
        stream.SetMarker(0, kStreamFromStart);
        length = stream.GetLength();
    }
    const SInt64 start = stream.GetMarker();
    length = std::min(length, stream.GetLength() - start);
    SInt64 bodyStart = UInternet::FindBodyStarts(stream, length);
    if (bodyStart != 0) {
        std::string header(static_cast<size_t>(bodyStart - start), '\0');
        stream.SetMarker(start, kStreamFromStart);
        stream.ReadData(header.data(), static_cast<SInt32>(header.size()));
        SetHeader(header.data(), header.size());
    } else {
        bodyStart = start;
    }
    stream.SetMarker(bodyStart, kStreamFromStart);
    SetMessageBody(&stream, length - (bodyStart - start), false);
}

bool TInternetMessage::GetPartialMessage(TDynamicBuffer& buffer, bool headerOnly) {
    if (headerOnly) {
        BuildHeader(buffer);
        Append(buffer, "\r\n");
        return false;
    }
    buffer.SetStream(fBody.GetBufferStream(), false);
    return true;
}

void TInternetMessage::SetPartialMessage(TDynamicBuffer& buffer) {
    if (!fCustomHeader && !SetHeader(buffer, true)) return;
    fBody.ConcatenateBuffer(&buffer);
    buffer.ResetBuffer();
}

bool TInternetMessage::SetHeader(TDynamicBuffer& buffer, bool remove) {
    SInt64 bodyStart = UInternet::FindBodyStarts(buffer);
    if (bodyStart == 0) return false;
    std::string header;
    try {
        header = UInternet::BufferText(buffer).substr(0, static_cast<size_t>(bodyStart));
    } catch (const std::bad_alloc&) {
        throw kAssertionErr;
    }
    SetHeader(header.data(), header.size());
    if (remove) buffer.RemoveFromBuffer(0, static_cast<SInt32>(bodyStart));
    return true;
}

void TInternetMessage::SetHeader(const char* text, size_t length) {
    fCustomHeader = true;
    std::string_view header(text ? text : "", text ? (length ? length : std::strlen(text)) : 0);
    while (!header.empty() && (header.back() == '\r' || header.back() == '\n')) header.remove_suffix(1);
    fHeader.assign(header);
    // An empty header stays empty: the line that ends it is written after every header.
    if (!fHeader.empty()) fHeader += "\r\n";
    GetDefaultsFromHeader();
}

void TInternetMessage::SetMessageBody(const char* text, size_t length) {
    if (!text) {
        fBody.ResetBuffer();
        return;
    }
    if (length == 0) length = std::strlen(text);
    fBody.SetBuffer(text, static_cast<SInt32>(length));
}

void TInternetMessage::SetMessageBody(TStream* stream, SInt64 length, bool adopt) {
    if (adopt) {
        fBody.SetStream(stream, true);
        return;
    }
    fBody.SetBuffer(stream, static_cast<SInt32>(length));
}

bool TInternetMessage::GetArbitraryField(std::string_view name, THeaderField& field) const {
    if (fCustomHeader) return UInternet::FindField(name, fHeader, field);
    ArrayIndexT index = fFields.FindTitle(name);
    if (index == 0) return false;
    field = *fFields.FieldAt(index);
    return true;
}

ArrayIndexT TInternetMessage::GetArbitraryFieldIndex(std::string_view name) const {
    return fFields.FindTitle(name);
}

void TInternetMessage::SetArbitraryField(std::string_view name, const char* value) {
    RemoveArbitraryField(name);
    if (!value) return;
    if (fCustomHeader) {
        fHeader += THeaderField(name, value).GetField();
        GetDefaultsFromHeader();
        return;
    }
    fFields.AppendItem(new THeaderField(name, value));
}

void TInternetMessage::RemoveArbitraryField(std::string_view name) {
    if (fCustomHeader) {
        size_t start = 0;
        size_t length = 0;
        if (UInternet::FindField(name, fHeader, start, length)) fHeader.erase(start, length);
        return;
    }
    fFields.RemoveItem(fFields.FindTitle(name));
}

void TInternetMessage::BuildHeader(TDynamicBuffer& buffer) {
    if (fCustomHeader) {
        Append(buffer, fHeader);
        return;
    }
    for (ArrayIndexT index = 1; index <= static_cast<ArrayIndexT>(fFields.GetCount()); ++index) {
        AddFieldToBuffer(*fFields.FieldAt(index), buffer);
    }
}

bool TInternetMessage::BuildMessageBody(TDynamicBuffer& buffer) {
    if (fBody.GetBufferStream()->GetLength() == 0) return false;
    buffer.ConcatenateBuffer(&fBody);
    return true;
}

void TInternetMessage::Clone(const TInternetMessage& other) {
    ResetMembers();
    const THeaderFieldList& fields = other.fFields;
    for (ArrayIndexT index = 1; index <= static_cast<ArrayIndexT>(fields.GetCount()); ++index) {
        const THeaderField* field = fields.FieldAt(index);
        fFields.AppendItem(new THeaderField(field->GetTitle(), field->GetBody()));
    }
    SetHeader(other.fHeader.data(), other.fHeader.size());
    fBody.SetLimit(other.fBody.GetLimit());
    fBody.SetBuffer(&other.fBody);
    fCustomHeader = other.fCustomHeader;
}

void TInternetMessage::AddFieldToBuffer(const THeaderField& field, TDynamicBuffer& buffer) {
    Append(buffer, field.GetField());
}

void TInternetMessage::AddFieldToBuffer(const char* name, const char* value, TDynamicBuffer& buffer) {
    if (!name || !*name || !value || !*value) return;
    AddFieldToBuffer(THeaderField(name, value), buffer);
}

void TInternetMessage::AddFieldToBuffer(const char* name, const LArray* list, TDynamicBuffer& buffer) {
    if (!name || !*name || !list) return;
    std::string joined = UInternet::ListToCommaString(*list);
    if (!joined.empty()) AddFieldToBuffer(name, joined.c_str(), buffer);
}
