#include "platform/AppleEvents/AEPrint.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

#include "platform/AppleEvents/AETextEncoding.h"
#include "platform/Carbon/MacMemory.h"

namespace {

constexpr DescType kQuotedCodeTypes[] = {typeType, typeKeyword, typeAbsoluteOrdinal, typeProperty,
                                         typeApplSignature};
// Text types and the text they print with (all but 'TEXT' also print their type).
constexpr DescType kTextTypes[] = {typeChar, typeUTF8Text, typeUnicodeText, typeAlias};

template <typename Table>
bool contains(const Table& table, DescType type) {
    return std::find(std::begin(table), std::end(table), type) != std::end(table);
}

void appendHex(std::string& out, const uint8_t* bytes, size_t size) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out += '$';
    for (size_t i = 0; i < size; ++i) {
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 0xF];
    }
    out += '$';
}

template <typename T>
T readAs(const std::vector<uint8_t>& bytes) {
    T value;
    std::memcpy(&value, bytes.data(), sizeof value);
    return value;
}

// Text that prints between double quotes: well-formed UTF-8 with no quote and no control byte.
bool printableText(const std::string& text) {
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || c == '"') return false;
    }
    return IsValidUTF8(text);
}

void printData(std::string& out, const AEDesc& desc) {
    const DescType type = desc.descriptorType;
    const std::vector<uint8_t>& bytes = desc.bytes();
    const size_t size = bytes.size();
    auto typed = [&](const std::string& inner) { out += AEPrintCode(type) + "(" + inner + ")"; };
    if (size == 0) return typed("");
    if (type == typeSInt16 && size == 2) {
        out += std::to_string(readAs<int16_t>(bytes));
        return;
    }
    if (type == typeSInt32 && size == 4) {
        const int32_t value = readAs<int32_t>(bytes);
        if (value < std::numeric_limits<int16_t>::min() || value > std::numeric_limits<int16_t>::max())
            out += std::to_string(value);
        else
            typed(std::to_string(value));
        return;
    }
    if (type == typeSInt64 && size == 8) return typed(std::to_string(readAs<int64_t>(bytes)));
    if ((type == fourCC("magn") || type == typeKernelProcessID) && size == 4)
        return typed(std::to_string(readAs<uint32_t>(bytes)));
    if (type == typeBoolean && size == 1) return typed(std::to_string(bytes[0]));
    if (type == typeIEEE64BitFloatingPoint && size == 8) {
        char text[40];
        std::snprintf(text, sizeof text, "%.17g", readAs<double>(bytes));
        return typed(text);
    }
    if (type == typeEnumerated && size == 4) {
        out += AEPrintCode(readAs<FourCharCode>(bytes));
        return;
    }
    if (contains(kQuotedCodeTypes, type) && size == 4) return typed(AEPrintCode(readAs<FourCharCode>(bytes)));
    if (contains(kTextTypes, type)) {
        const std::string text =
            type == typeUnicodeText
                ? (size % 2 == 0 ? UTF8FromUTF16Bytes(bytes.data(), size) : std::string("\""))
                : std::string(bytes.begin(), bytes.end());
        if (printableText(text)) {
            if (type == typeChar)
                out += "\"" + text + "\"";
            else
                typed("\"" + text + "\"");
            return;
        }
    }
    std::string hex;
    appendHex(hex, bytes.data(), size);
    typed(hex);
}

void print(std::string& out, const AEDesc& desc);

void printFields(std::string& out, const AEDesc& desc) {
    out += '{';
    for (size_t i = 0; i < desc.count(); ++i) {
        if (i > 0) out += ", ";
        out += AEPrintCode(desc.keyAt(i));
        out += ':';
        print(out, desc.at(i));
    }
    out += '}';
}

void print(std::string& out, const AEDesc& desc) {
    switch (desc.kind()) {
        case AEDescKind::data:
            printData(out, desc);
            return;
        case AEDescKind::list:
            if (desc.descriptorType != typeAEList) out += AEPrintCode(desc.descriptorType);
            out += '[';
            for (size_t i = 0; i < desc.count(); ++i) {
                if (i > 0) out += ", ";
                print(out, desc.at(i));
            }
            out += ']';
            return;
        case AEDescKind::record:
            if (desc.descriptorType != typeAERecord) out += AEPrintCode(desc.descriptorType);
            printFields(out, desc);
            return;
        case AEDescKind::event:
            out += AEPrintCode(desc.event()->eventClass);
            out += '\\';
            out += AEPrintCode(desc.event()->eventID);
            printFields(out, desc);
            return;
    }
}

}  // namespace

std::string AEPrintCode(FourCharCode code) {
    char chars[4];
    bool printable = true;
    for (int i = 0; i < 4; ++i) {
        chars[i] = static_cast<char>((code >> (24 - 8 * i)) & 0xFF);
        const auto u = static_cast<unsigned char>(chars[i]);
        if (u < 0x20 || u > 0x7E || chars[i] == '\'') printable = false;
    }
    if (printable) return "'" + std::string(chars, 4) + "'";
    char hex[11];
    std::snprintf(hex, sizeof hex, "$%08X$", static_cast<unsigned>(code));
    return hex;
}

std::string AEPrint(const AEDesc& desc) {
    std::string out;
    print(out, desc);
    return out;
}

OSStatus AEPrintDescToHandle(const AEDesc* desc, Handle* result) {
    if (!desc || !result) return paramErr;
    const std::string text = AEPrint(*desc);
    *result = nullptr;
    return PtrToHand(text.c_str(), result, static_cast<Size>(text.size() + 1));
}
