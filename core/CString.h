// A heap string of at most 255 characters, held as a length-byte string and a C string at once.
//
// The block is the length byte, the characters and a NUL, so PStr() and CStr() both point into
// it. An empty CString shares a static empty block, which is never freed. Storage is replaced
// only when the length changes.
#pragma once

#include "platform/Carbon/MacTypes.h"

class CString {
public:
    CString();
    explicit CString(char c);
    CString(const char* text);  // cut at 255 characters
    explicit CString(ConstStr255Param text);
    CString(const CString& source);
    ~CString();

    CString& operator=(char c);
    CString& operator=(const char* text);
    CString& operator=(ConstStr255Param text);
    CString& operator=(const CString& source);

    bool operator==(char c) const;
    bool operator==(const char* text) const;
    bool operator==(const CString& other) const;
    bool operator==(ConstStr255Param text) const;

    const char* CStr() const { return reinterpret_cast<const char*>(fStorage + 1); }
    ConstStr255Param PStr() const { return fStorage; }
    UInt8 Length() const { return fStorage[0]; }
    bool IsEmpty() const { return fStorage[0] == 0; }

    // Assigns from the kind 'cstr' or 'text' (a C string), 'pstr' (a length-byte string), 'strC'
    // (a CString) or 'strp' (a CString whose C text is taken), then makes control characters blanks.
    void SetValue(FourCharCode kind, const void* source);
    // Copies out as 'cstr'/'text' (C string), 'pstr' (length-byte string), 'strC' (into a
    // CString), 'strp' (stores the C text's pointer into a const char*), 'strU' (an
    // HFSUniStr255 from Mac Roman text) or 'stFN' (the same, made a valid file name first).
    // Throws paramErr as an int for an unknown kind.
    void GetValue(FourCharCode kind, void* destination) const;

private:
    void Set(const unsigned char* bytes, size_t count);

    unsigned char* fStorage;
};
