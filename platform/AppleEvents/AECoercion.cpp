#include "platform/AppleEvents/AECoercion.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <string>

#include "platform/AppleEvents/AETextEncoding.h"
#include "platform/Carbon/FileReference.h"

namespace {

struct NumericType {
    DescType type;
    size_t size;
    int64_t minimum;
    int64_t maximum;
};

constexpr NumericType kIntegerTypes[] = {
    {typeSInt16, 2, std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max()},
    {typeSInt32, 4, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()},
    {typeSInt64, 8, std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max()},
    {typeBoolean, 1, 0, 1},
};

constexpr DescType kCodeTypes[] = {typeEnumerated, typeType, typeKeyword, typeProperty};
constexpr DescType kTextTypes[] = {typeChar, typeUTF8Text, typeUnicodeText};

template <typename Table>
bool contains(const Table& table, DescType type) {
    return std::find(std::begin(table), std::end(table), type) != std::end(table);
}

const NumericType* integerType(DescType type) {
    for (const NumericType& entry : kIntegerTypes) {
        if (entry.type == type) return &entry;
    }
    return nullptr;
}

// A number as read from a descriptor: whole, or a double.
struct Number {
    bool isWhole;
    int64_t whole;
    double real;
};

std::optional<Number> readNumber(const AEDesc& desc) {
    const std::vector<uint8_t>& bytes = desc.bytes();
    if (desc.descriptorType == typeIEEE64BitFloatingPoint) {
        if (bytes.size() != 8) return std::nullopt;
        double value;
        std::memcpy(&value, bytes.data(), 8);
        return Number{false, 0, value};
    }
    const NumericType* type = integerType(desc.descriptorType);
    if (!type || bytes.size() != type->size) return std::nullopt;
    int64_t value = 0;
    switch (type->size) {
        case 1: {
            if (bytes[0] > 1) return std::nullopt;
            value = bytes[0];
            break;
        }
        case 2: {
            int16_t v;
            std::memcpy(&v, bytes.data(), 2);
            value = v;
            break;
        }
        case 4: {
            int32_t v;
            std::memcpy(&v, bytes.data(), 4);
            value = v;
            break;
        }
        default:
            std::memcpy(&value, bytes.data(), 8);
    }
    return Number{true, value, static_cast<double>(value)};
}

std::optional<AEDesc> writeNumber(const Number& number, DescType toType) {
    if (toType == typeIEEE64BitFloatingPoint) {
        const double value = number.isWhole ? static_cast<double>(number.whole) : number.real;
        return AEDesc::makeData(toType, &value, 8);
    }
    const NumericType* type = integerType(toType);
    if (!type) return std::nullopt;
    int64_t value = number.whole;
    if (!number.isWhole) {
        // Only whole doubles well inside the 64-bit range convert.
        if (!std::isfinite(number.real) || std::trunc(number.real) != number.real ||
            std::fabs(number.real) >= 9.2e18)
            return std::nullopt;
        value = static_cast<int64_t>(number.real);
    }
    if (value < type->minimum || value > type->maximum) return std::nullopt;
    uint8_t bytes[8];
    switch (type->size) {
        case 1:
            bytes[0] = static_cast<uint8_t>(value);
            break;
        case 2: {
            const auto v = static_cast<int16_t>(value);
            std::memcpy(bytes, &v, 2);
            break;
        }
        case 4: {
            const auto v = static_cast<int32_t>(value);
            std::memcpy(bytes, &v, 4);
            break;
        }
        default:
            std::memcpy(bytes, &value, 8);
    }
    return AEDesc::makeData(toType, bytes, type->size);
}

bool isNumeric(DescType type) {
    return type == typeIEEE64BitFloatingPoint || integerType(type);
}

// The text of a descriptor as UTF-8, for the text types and a version record.
std::optional<std::string> readText(const AEDesc& desc) {
    const std::vector<uint8_t>& bytes = desc.bytes();
    if (desc.descriptorType == typeUnicodeText) return UTF8FromUTF16Bytes(bytes.data(), bytes.size());
    if (desc.descriptorType == typeChar || desc.descriptorType == typeUTF8Text)
        return std::string(bytes.begin(), bytes.end());
    if (desc.descriptorType == typeVersion) {
        // The short version string: a length byte at offset 6, its characters from offset 7.
        if (bytes.size() < 7) return std::nullopt;
        const size_t length = bytes[6];
        if (bytes.size() - 7 < length) return std::nullopt;
        return std::string(bytes.begin() + 7, bytes.begin() + 7 + static_cast<std::ptrdiff_t>(length));
    }
    return std::nullopt;
}

std::optional<AEDesc> coerceFile(const AEDesc& desc, DescType toType) {
    const std::vector<uint8_t>& bytes = desc.bytes();
    if (desc.descriptorType == typeAlias && toType == typeFSRef) {
        const std::optional<std::string> path = PathFromAliasData(bytes.data(), bytes.size());
        FSRef ref;
        if (!path || FSPathMakeRef(*path, &ref) != noErr) return std::nullopt;
        return AEDesc::makeData(typeFSRef, FSRefData(ref));
    }
    if (desc.descriptorType == typeFSRef && toType == typeAlias) {
        const std::optional<FSRef> ref = FSRefFromData(bytes.data(), bytes.size());
        if (!ref) return std::nullopt;
        return AEDesc::makeData(typeAlias, AliasDataFromPath(ref->path));
    }
    return std::nullopt;
}

std::optional<AEDesc> coerceData(const AEDesc& desc, DescType toType) {
    const DescType from = desc.descriptorType;
    if (isNumeric(from) && isNumeric(toType)) {
        const std::optional<Number> number = readNumber(desc);
        return number ? writeNumber(*number, toType) : std::nullopt;
    }
    if (contains(kCodeTypes, from) && contains(kCodeTypes, toType)) {
        if (desc.bytes().size() != 4) return std::nullopt;
        return AEDesc::makeData(toType, desc.bytes());
    }
    if ((contains(kTextTypes, from) || from == typeVersion) && contains(kTextTypes, toType)) {
        const std::optional<std::string> text = readText(desc);
        if (!text) return std::nullopt;
        if (toType == typeUnicodeText) return AEDesc::makeData(toType, UTF16BytesFromUTF8(*text));
        return AEDesc::makeData(toType, text->data(), text->size());
    }
    return coerceFile(desc, toType);
}

}  // namespace

OSErr AECoerceDesc(const AEDesc* desc, DescType toType, AEDesc* result) {
    if (!desc || !result) return paramErr;
    if (toType == typeWildCard || toType == desc->descriptorType) {
        AEDesc copy = desc->clone();
        *result = std::move(copy);
        return noErr;
    }
    if (toType == typeAEList) {
        AEDesc list = AEDesc::makeList();
        list.put(0, desc->clone());
        *result = std::move(list);
        return noErr;
    }
    if (desc->isStructured()) {
        result->reset();
        return errAECoercionFail;
    }
    std::optional<AEDesc> coerced = coerceData(*desc, toType);
    if (!coerced) {
        result->reset();
        return errAECoercionFail;
    }
    *result = std::move(*coerced);
    return noErr;
}

OSErr AECoercePtr(DescType typeCode, const void* dataPtr, Size dataSize, DescType toType, AEDesc* result) {
    if (!result || dataSize < 0 || (!dataPtr && dataSize > 0)) return paramErr;
    const AEDesc source = AEDesc::makeData(typeCode, dataPtr, static_cast<size_t>(dataSize));
    return AECoerceDesc(&source, toType, result);
}
