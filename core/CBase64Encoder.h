// Emits a file as Base64 lines of 72 characters, each followed by CR LF.
#pragma once

#include "core/CEncoder.h"

class CBase64Encoder : public CEncoder {
public:
    explicit CBase64Encoder(const std::string& url) : CEncoder(url) {}

    const char* GetContentTransferEncoding() override { return "Base64"; }
    SInt32 GetEncodedSize() override;
    // Emits 54 input bytes per line; the last, shorter group is padded with "=".
    SInt32 Encode(char* out, SInt32 room) override;
    virtual bool IsMacEncoder() { return false; }

    // Standard Base64 with "=" padding; returns the characters written.
    static SInt32 EncodeData(const unsigned char* bytes, SInt32 count, char* out);
    // EncodeData followed by CR LF.
    static SInt32 EncodeLine(const unsigned char* bytes, SInt32 count, char* out);
};
