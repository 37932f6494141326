#include "core/CEncoder.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "platform/Carbon/FileReference.h"
#include "platform/Carbon/Folders.h"

namespace {

constexpr size_t kReadAhead = 0x10000;
constexpr size_t kKeptBehind = 256;

}  // namespace

CEncoder::CEncoder(const std::string& url) : fURL(url) {}

CEncoder::~CEncoder() {
    CloseFile();
}

void CEncoder::SetURL(const std::string& url) {
    CloseFile();
    fURL = url;
    fHasFileInfo = false;
    fFileSize = 0;
}

void CEncoder::OpenFile() {
    if (fURL.empty()) throw kEncoderNoFileErr;
    if (fFile) return;
    int error = 0;
    fFile = CFURL_fopen(fURL, "r", error);
    if (!fFile) throw error != 0 ? error : kEncoderNoFileErr;
    FILE* file = fFile.get();
    std::fseek(file, 0, SEEK_END);
    long length = std::ftell(file);
    fFileLength = length < 0 ? 0 : static_cast<SInt32>(length);
    SeekData(fStartOffset);
    fVolume = kOnSystemDisk;
    fBytesAfterOffset = fFileLength - fStartOffset;
}

void CEncoder::CloseFile() {
    fFile.reset();
    fBufferPos = fBufferEnd = 0;
    fFileLength = 0;
    fBytesAfterOffset = 0;
    fBytesLeft = 0;
}

SInt32 CEncoder::PreEncode() {
    OpenFile();
    fBytesLeft = fBytesAfterOffset;
    return fBytesLeft;
}

SInt32 CEncoder::PostEncode() {
    CloseFile();
    return 0;
}

SInt32 CEncoder::ReadData(void* buffer, SInt32 count) {
    if (!fFile) throw kEncoderNoFileErr;
    auto* out = static_cast<unsigned char*>(buffer);
    SInt32 done = 0;
    while (done < count) {
        if (fBufferPos == fBufferEnd) {
            if (fBuffer.empty()) fBuffer.resize(kReadAhead + kKeptBehind);
            size_t keep = std::min(fBufferPos, kKeptBehind);
            std::memmove(fBuffer.data(), fBuffer.data() + fBufferPos - keep, keep);
            fBufferPos = keep;
            fBufferEnd = keep + std::fread(fBuffer.data() + keep, 1, kReadAhead, fFile.get());
            if (fBufferEnd == fBufferPos) break;
        }
        size_t take = std::min(static_cast<size_t>(count - done), fBufferEnd - fBufferPos);
        std::memcpy(out + done, fBuffer.data() + fBufferPos, take);
        fBufferPos += take;
        done += static_cast<SInt32>(take);
    }
    return done;
}

void CEncoder::UnreadData(SInt32 count) {
    fBufferPos -= std::min(static_cast<size_t>(std::max(count, 0)), fBufferPos);
}

void CEncoder::SeekData(SInt32 offset) {
    fBufferPos = fBufferEnd = 0;
    if (fFile) std::fseek(fFile.get(), offset, SEEK_SET);
}

void CEncoder::ReadFileInfo() {
    if (fHasFileInfo) return;
    fHasFileInfo = true;
    fFileSize = GetRawSize();
}

SInt32 CEncoder::GetRawSize() {
    std::optional<std::string> path = PathFromFileURL(fURL);
    if (!path || path->size() > 1024) return 0;
    struct stat info {};
    if (::stat(path->c_str(), &info) != 0) return 0;
    return static_cast<SInt32>(info.st_size);
}

SInt32 CEncoder::Base64Length(SInt32 n, SInt32 lineLength) {
    SInt64 groups = (static_cast<SInt64>(n) + 2) / 3;
    if (lineLength <= 0) return static_cast<SInt32>(4 * groups);
    return static_cast<SInt32>(4 * groups + (8 * groups + 2 * lineLength - 2) / lineLength);
}

const char* CEncoder::GetContentType() {
    return nullptr;
}
SInt32 CEncoder::BeginPart(char*, SInt32) {
    return 0;
}
SInt32 CEncoder::EndPart(char*, SInt32) {
    return 0;
}
const char* CEncoder::GetCharSet() {
    return "us-ascii";
}
void CEncoder::SetArticle(void* article) {
    fArticle = article;
}
