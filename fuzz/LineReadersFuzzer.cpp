// The first byte picks a reader (its top two bits) and a buffer of 2 to 65 bytes; the rest is
// the text, NUL bytes read as blanks. Every reader must make progress and lose nothing: lines
// joined are the text without its CR and LF, responses and their end lines are the text, and
// chunks joined are the text.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/ULineReaders.h"
#include "core/streams/THandleStream.h"
#include "platform/Carbon/MacMemory.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

THandleStream StreamOf(const std::string& text) {
    Handle block = NewHandle(static_cast<Size>(text.size()));
    if (!text.empty()) std::memcpy(*block, text.data(), text.size());
    return THandleStream(block);
}

std::string WithoutLineEnds(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c != '\r' && c != '\n') out += c;
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const int reader = data[0] >> 6;
    const size_t room = 2 + (data[0] & 0x3F);
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    for (char& c : text)
        if (c == '\0') c = ' ';
    std::vector<char> buffer(room);
    THandleStream stream = StreamOf(text);
    std::string joined;
    switch (reader) {
        case 0: {
            const char* cursor = text.c_str();
            while (ReadLine(cursor, buffer.data(), room)) {
                Check(std::strlen(buffer.data()) < room);
                joined += buffer.data();
            }
            Check(*cursor == '\0');
            Check(joined == WithoutLineEnds(text));
            break;
        }
        case 1:
            // A lone "." stops the reader with the dot in the buffer; the end leaves it empty.
            while (stream.GetMarker() < stream.GetLength()) {
                const SInt64 before = stream.GetMarker();
                ReadLineFromStream(stream, buffer.data(), room);
                Check(std::strlen(buffer.data()) < room && stream.GetMarker() > before);
                joined += buffer.data();
            }
            Check(joined == WithoutLineEnds(text));
            break;
        case 2:
            while (stream.GetMarker() < stream.GetLength()) {
                const size_t before = static_cast<size_t>(stream.GetMarker());
                const bool ended = ReadResponseFromStream(stream, buffer.data(), room);
                const size_t length = std::strlen(buffer.data());
                const size_t after = static_cast<size_t>(stream.GetMarker());
                Check(length < room && after > before && text.compare(before, length, buffer.data()) == 0);
                const std::string endLine = text.substr(before + length, after - before - length);
                Check(ended ? endLine == "\r\n.\r\n" || (length == 0 && endLine == ".\r\n")
                            : endLine.empty());
                if (!ended) {
                    // No end line went by as text.
                    const size_t end = text.find("\r\n.\r\n", before);
                    Check(end == std::string::npos || end - before > length);
                    Check(!(before == 0 || text[before - 1] == '\n') ||
                          text.compare(before, 3, ".\r\n") != 0);
                }
            }
            break;
        case 3:
            while (stream.GetMarker() < stream.GetLength()) {
                const size_t length = ReadChunkFromStream(stream, buffer.data(), room);
                Check(length > 0 && length < room);
                joined.append(buffer.data(), length);
            }
            Check(joined == text);
            break;
    }
    return 0;
}
