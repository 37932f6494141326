#include "network/UInternet.h"

#include <openssl/evp.h>

#include <cstring>
#include <vector>

#include "core/LArray.h"
#include "core/TDynamicBuffer.h"
#include "core/UDates.h"
#include "core/UStringFunctions.h"
#include "network/THeaderField.h"

namespace UInternet {

namespace {

constexpr size_t kMaxFieldNameCompare = 255;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// The end of the line at `pos` including its CR LF, CR or LF.
size_t LineEnd(std::string_view text, size_t pos) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) return text.size();
    if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') return end + 2;
    return end + 1;
}

// The first line starting the named field, or npos.
size_t FindFieldStart(std::string_view name, std::string_view header) {
    std::string prefix = std::string(name) + ": ";
    size_t compared = std::min(prefix.size(), kMaxFieldNameCompare);
    for (size_t pos = 0; pos < header.size(); pos = LineEnd(header, pos)) {
        if (IsBlank(header[pos])) continue;
        if (header.size() - pos >= compared && strnicmp(header.data() + pos, prefix.c_str(), compared) == 0) {
            return pos;
        }
    }
    return std::string_view::npos;
}

void SetText(TDynamicBuffer& buffer, const std::string& text) {
    buffer.SetBuffer(text.data(), static_cast<SInt32>(text.size()));
}

}  // namespace

bool FindField(std::string_view name, std::string_view header, THeaderField& field) {
    size_t start = FindFieldStart(name, header);
    if (start == std::string_view::npos) return false;
    field.InitMembers();
    field.SetField(header.substr(start));
    return true;
}

bool FindField(std::string_view name, std::string_view header, size_t& start, size_t& length) {
    start = 0;
    length = 0;
    size_t found = FindFieldStart(name, header);
    if (found == std::string_view::npos) return false;
    size_t end = LineEnd(header, found);
    while (end < header.size() && IsBlank(header[end])) end = LineEnd(header, end);
    start = found;
    length = end - found;
    return true;
}

size_t FindBodyStarts(const char* text, size_t length) {
    if (!text) return 0;
    std::string_view view(text, length ? length : std::strlen(text));
    if (view.starts_with("\n")) return 1;
    if (view.starts_with("\r\n")) return 2;
    size_t separator = view.find("\r\n\r\n");
    size_t after = separator + 4;
    if (separator == std::string_view::npos) {
        separator = view.find("\n\n");
        after = separator + 2;
    }
    if (separator == std::string_view::npos) return 0;
    while (after < view.size() && (view[after] == '\r' || view[after] == '\n')) ++after;
    return after;
}

SInt64 FindBodyStarts(TStream& stream, SInt64 length) {
    const SInt64 saved = stream.GetMarker();
    if (length < 0) {
        stream.SetMarker(0, kStreamFromStart);
        length = stream.GetLength();
    }
    SInt64 result = 0;
    // The last bytes read, newest in the low byte.
    UInt32 recent = 0;
    char byte = 0;
    for (SInt64 read = 0; read < length && stream.ReadData(&byte, 1) == 1; ++read) {
        recent = (recent << 8) | static_cast<unsigned char>(byte);
        if (read == 0 && byte == '\n') {
            result = stream.GetMarker();
            break;
        }
        if (read == 1 && (recent & 0xFFFF) == 0x0D0A) {
            result = stream.GetMarker();
            break;
        }
        if ((recent & 0xFFFF) == 0x0A0A || recent == 0x0D0A0D0A) {
            result = stream.GetMarker();
            break;
        }
    }
    stream.SetMarker(saved, kStreamFromStart);
    return result;
}

SInt64 FindBodyStarts(TDynamicBuffer& buffer) {
    return FindBodyStarts(*buffer.GetBufferStream(), -1);
}

const char* PointToNextLine(const char* text) {
    if (!text) return nullptr;
    while (*text && *text != '\r' && *text != '\n') ++text;
    if (*text == '\r') {
        ++text;
        if (*text == '\n') ++text;
    } else if (*text == '\n') {
        ++text;
    }
    return text;
}

void PointToNextLine(TStream& stream) {
    char byte = 0;
    while (stream.ReadData(&byte, 1) == 1) {
        if (byte == '\n') return;
        if (byte == '\r') {
            if (stream.PeekData(&byte, 1) == 1 && byte == '\n') stream.SetMarker(1, kStreamFromMarker);
            return;
        }
    }
}

void CommaStringToList(const char* text, LArray& list) {
    if (!text) return;
    std::string_view rest(text);
    while (!rest.empty()) {
        size_t start = rest.find_first_not_of(", \t");
        if (start == std::string_view::npos) break;
        rest.remove_prefix(start);
        size_t end = rest.find_first_of(", \t");
        std::string_view token = rest.substr(0, end);
        char item[kListItemSize]{};
        std::memcpy(item, token.data(), std::min(token.size(), sizeof item - 1));
        list.AddItem(item, sizeof item);
        rest.remove_prefix(token.size());
    }
}

std::string ListToCommaString(const LArray& list) {
    std::string joined;
    for (ArrayIndexT index = 1; index <= static_cast<ArrayIndexT>(list.GetCount()); ++index) {
        char item[kListItemSize]{};
        UInt32 size = sizeof item - 1;
        if (!list.FetchItemAt(index, item, size)) continue;
        if (!joined.empty()) joined += ", ";
        joined += item;
    }
    return joined;
}

std::string BufferText(TDynamicBuffer& buffer) {
    TStream* stream = buffer.GetBufferStream();
    std::string text(static_cast<size_t>(stream->GetLength()), '\0');
    const SInt64 saved = stream->GetMarker();
    stream->SetMarker(0, kStreamFromStart);
    SInt32 got = text.empty() ? 0 : stream->ReadData(text.data(), static_cast<SInt32>(text.size()));
    text.resize(static_cast<size_t>(got));
    stream->SetMarker(saved, kStreamFromStart);
    return text;
}

SInt32 GetContentLength(TDynamicBuffer& buffer) {
    SInt64 bodyStart = FindBodyStarts(buffer);
    if (bodyStart == 0) return 0;
    std::string header = BufferText(buffer).substr(0, static_cast<size_t>(bodyStart));
    THeaderField field;
    if (!FindField("Content-Length", header, field)) return 0;
    return static_cast<SInt32>(std::strtol(field.GetBody().c_str(), nullptr, 10));
}

SInt32 GetGMTOffset() {
    SInt32 offset = ::GetGMTOffset();
    // Sign-extended from 24 bits, as the location settings hold it.
    return static_cast<SInt32>(static_cast<UInt32>(offset) << 8) >> 8;
}

std::string MD5String(std::string_view text) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_Digest(text.data(), text.size(), digest, &size, EVP_md5(), nullptr);
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < size; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 0xF];
    }
    return hex;
}

void GetCleanAddress(StringPtr address) {
    if (!address) return;
    std::string text(reinterpret_cast<const char*>(address + 1), address[0]);
    if (size_t paren = text.find('('); paren != std::string::npos) {
        text.erase(paren);
    } else if (size_t open = text.find('<'), close = text.find('>');
               open != std::string::npos && close != std::string::npos && open < close) {
        text = text.substr(open + 1, close - open - 1);
    }
    std::string clean;
    for (char c : text) {
        if (c != ' ') clean += c;
    }
    address[0] = static_cast<unsigned char>(clean.size());
    std::memcpy(address + 1, clean.data(), clean.size());
}

bool SMTPEncode(TDynamicBuffer& buffer) {
    std::string text = BufferText(buffer);
    std::string encoded;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = text.size();
        std::string_view line(text.data() + pos, end - pos);
        if (line.size() > 998) return false;
        for (char c : line) {
            if (static_cast<unsigned char>(c) >= 0x80) return false;
        }
        if (line.starts_with(".")) encoded += '.';
        encoded.append(line);
        encoded += "\r\n";
        pos = end;
        if (pos < text.size() && text[pos] == '\r') ++pos;
        if (pos < text.size() && text[pos] == '\n') ++pos;
    }
    // Every line already ends in CR LF, so this completes "\r\n.\r\n".
    if (encoded.empty()) encoded = "\r\n";
    encoded += ".\r\n";
    SetText(buffer, encoded);
    return true;
}

bool SMTPDecode(TDynamicBuffer& buffer) {
    std::string text = BufferText(buffer);
    std::string decoded;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = text.size();
        std::string_view line(text.data() + pos, end - pos);
        if (line.size() > 1000) return false;
        if (line == ".") break;
        if (line.starts_with("..")) line.remove_prefix(1);
        decoded.append(line);
        decoded += '\n';
        pos = end;
        if (pos < text.size() && text[pos] == '\r') ++pos;
        if (pos < text.size() && text[pos] == '\n') ++pos;
    }
    SetText(buffer, decoded);
    return true;
}

bool CheckSMTPValid(TDynamicBuffer& buffer) {
    std::string text = BufferText(buffer);
    size_t lineLength = 0;
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
        if (c == '\r' || c == '\n') {
            lineLength = 0;
            continue;
        }
        if (++lineLength > 1000) return false;
    }
    return true;
}

void RemoveLF(TDynamicBuffer& buffer) {
    constexpr size_t kPiece = 16000;
    std::string text = BufferText(buffer);
    std::string kept;
    kept.reserve(text.size());
    for (size_t start = 0; start < text.size(); start += kPiece) {
        std::string_view piece(text.data() + start, std::min(kPiece, text.size() - start));
        for (char c : piece) {
            if (c != '\n') kept += c;
        }
    }
    SetText(buffer, kept);
}

}  // namespace UInternet
