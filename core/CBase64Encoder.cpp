#include "core/CBase64Encoder.h"

#include <algorithm>

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr SInt32 kGroupBytes = 54;
constexpr SInt32 kLineBytes = 74;

}  // namespace

SInt32 CBase64Encoder::GetEncodedSize() {
    ReadFileInfo();
    SInt64 characters = 4 * ((fFileSize + 2) / 3);
    return static_cast<SInt32>(characters + 2 * ((characters + 71) / 72));
}

SInt32 CBase64Encoder::EncodeData(const unsigned char* bytes, SInt32 count, char* out) {
    SInt32 written = 0;
    for (SInt32 i = 0; i < count; i += 3) {
        unsigned value = unsigned{bytes[i]} << 16;
        if (i + 1 < count) value |= unsigned{bytes[i + 1]} << 8;
        if (i + 2 < count) value |= bytes[i + 2];
        out[written++] = kAlphabet[(value >> 18) & 0x3F];
        out[written++] = kAlphabet[(value >> 12) & 0x3F];
        out[written++] = i + 1 < count ? kAlphabet[(value >> 6) & 0x3F] : '=';
        out[written++] = i + 2 < count ? kAlphabet[value & 0x3F] : '=';
    }
    return written;
}

SInt32 CBase64Encoder::EncodeLine(const unsigned char* bytes, SInt32 count, char* out) {
    SInt32 written = EncodeData(bytes, count, out);
    out[written++] = '\r';
    out[written++] = '\n';
    return written;
}

SInt32 CBase64Encoder::Encode(char* out, SInt32 room) {
    SInt32 total = 0;
    unsigned char group[kGroupBytes];
    while (fBytesLeft > 0) {
        SInt32 take = std::min(fBytesLeft, kGroupBytes);
        SInt32 needed = take == kGroupBytes ? kLineBytes : 4 * ((take + 2) / 3) + 2;
        if (room - total < needed) break;
        SInt32 got = ReadData(group, take);
        if (got <= 0) {
            fBytesLeft = 0;
            break;
        }
        total += EncodeLine(group, got, out + total);
        fBytesLeft = take < kGroupBytes ? 0 : fBytesLeft - got;
    }
    return total;
}
