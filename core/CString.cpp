#include "core/CString.h"

#include <algorithm>
#include <cstring>

#include "core/UFileUtilities.h"
#include "platform/Carbon/TextEncoding.h"

namespace {

unsigned char kDummyStorage[2] = {0, 0};

size_t CLength(const char* text) {
    size_t n = 0;
    while (text && n < 255 && text[n]) ++n;
    return n;
}

}  // namespace

CString::CString() : fStorage(kDummyStorage) {}

CString::CString(char c) : CString() {
    Set(reinterpret_cast<const unsigned char*>(&c), 1);
}

CString::CString(const char* text) : CString() {
    *this = text;
}

CString::CString(ConstStr255Param text) : CString() {
    *this = text;
}

CString::CString(const CString& source) : CString() {
    *this = source;
}

CString::~CString() {
    if (fStorage != kDummyStorage) delete[] fStorage;
}

void CString::Set(const unsigned char* bytes, size_t count) {
    const size_t n = std::min<size_t>(count, 255);
    if (n == fStorage[0]) {
        // Same length: the text is replaced in place (it may be this string's own text).
        if (n) std::memmove(fStorage + 1, bytes, n);
        return;
    }
    unsigned char* block = kDummyStorage;
    if (n > 0) {
        block = new unsigned char[n + 2];
        std::memcpy(block + 1, bytes, n);
        block[0] = static_cast<unsigned char>(n);
        block[n + 1] = 0;
    }
    if (fStorage != kDummyStorage) delete[] fStorage;
    fStorage = block;
}

CString& CString::operator=(char c) {
    Set(reinterpret_cast<const unsigned char*>(&c), 1);
    return *this;
}

CString& CString::operator=(const char* text) {
    Set(reinterpret_cast<const unsigned char*>(text), CLength(text));
    return *this;
}

CString& CString::operator=(ConstStr255Param text) {
    Set(text ? text + 1 : nullptr, text ? text[0] : 0);
    return *this;
}

CString& CString::operator=(const CString& source) {
    if (&source != this) Set(source.fStorage + 1, source.fStorage[0]);
    return *this;
}

bool CString::operator==(char c) const {
    return Length() == 1 && CStr()[0] == c;
}

bool CString::operator==(const char* text) const {
    return text && std::strcmp(CStr(), text) == 0;
}

bool CString::operator==(const CString& other) const {
    return std::strcmp(CStr(), other.CStr()) == 0;
}

bool CString::operator==(ConstStr255Param text) const {
    return text && text[0] == Length() && std::memcmp(text + 1, fStorage + 1, Length()) == 0;
}

void CString::SetValue(FourCharCode kind, const void* source) {
    if (kind == fourCC("cstr") || kind == fourCC("text")) {
        *this = static_cast<const char*>(source);
    } else if (kind == fourCC("pstr")) {
        *this = static_cast<ConstStr255Param>(source);
    } else if (kind == fourCC("strC") || kind == fourCC("strp")) {
        *this = source ? static_cast<const CString*>(source)->CStr() : "";
    } else {
        throw static_cast<int>(paramErr);
    }
    if (fStorage == kDummyStorage) return;
    for (size_t i = 1; i <= Length(); ++i)
        if (fStorage[i] < 32) fStorage[i] = ' ';
}

void CString::GetValue(FourCharCode kind, void* destination) const {
    if (!destination) throw static_cast<int>(paramErr);
    if (kind == fourCC("cstr") || kind == fourCC("text")) {
        std::memcpy(destination, CStr(), Length() + 1u);
    } else if (kind == fourCC("pstr")) {
        std::memcpy(destination, fStorage, Length() + 1u);
    } else if (kind == fourCC("strC")) {
        *static_cast<CString*>(destination) = *this;
    } else if (kind == fourCC("strp")) {
        *static_cast<const char**>(destination) = CStr();
    } else if (kind == fourCC("strU")) {
        MacRomanToHFSUniStr255(fStorage + 1, Length(), static_cast<HFSUniStr255*>(destination));
    } else if (kind == fourCC("stFN")) {
        unsigned char name[256];
        std::memcpy(name, fStorage, Length() + 1u);
        MakeMacFileName(name);
        MacRomanToHFSUniStr255(name + 1, name[0], static_cast<HFSUniStr255*>(destination));
    } else {
        throw static_cast<int>(paramErr);
    }
}
