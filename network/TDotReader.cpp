#include "network/TDotReader.h"

#include "network/NetworkErrors.h"

TDotReader::TDotReader(bool expectData) : fExpectData(expectData) {}

const char* TDotReader::FindCRLF(const char* text, size_t length) {
    if (!text) throw kMissingObjectErr;
    for (size_t i = 0; i + 1 < length; ++i) {
        if (text[i] == '\r' && text[i + 1] == '\n') return text + i;
    }
    return nullptr;
}

bool TDotReader::Receive(const char* bytes, size_t length) {
    if (!bytes) throw kMissingObjectErr;
    size_t pos = 0;
    while (!fComplete && pos < length) {
        size_t end = pos;
        while (end < length && bytes[end] != '\n') ++end;
        fPartialLine.append(bytes + pos, end - pos);
        if (end == length) break;
        pos = end + 1;
        std::string line = std::move(fPartialLine);
        fPartialLine.clear();
        if (!line.empty() && line.back() == '\r') line.pop_back();
        HandleLine(line);
    }
    return fComplete;
}

void TDotReader::HandleLine(std::string_view line) {
    if (!fHaveResponseLine) {
        fHaveResponseLine = true;
        fResponseLine = line.substr(0, kMaxResponseLine);
        if (!fExpectData && !fLineCallback) fComplete = true;
        return;
    }
    if (line == ".") {
        fComplete = true;
        return;
    }
    if (line.starts_with(".")) line.remove_prefix(1);
    ++fLinesRead;
    if (fLineCallback) {
        fLineCallback(line);
    } else {
        fData.ConcatenateBuffer(line.data(), static_cast<SInt32>(line.size()));
        fData.ConcatenateBuffer("\r\n", 2);
    }
    if (++fLinesSinceReport > kLinesPerProgress) {
        fLinesSinceReport = 0;
        if (fProgressCallback) fProgressCallback(fLinesRead);
    }
}
