// Hand-written descriptor trees for the tests: expected values spelled out without the code
// under test's printer or parser.
#pragma once

#include <cstring>
#include <string>
#include <utility>

#include "platform/AppleEvents/AEDescriptor.h"

namespace trees {

inline FourCharCode code(const char* text) {
    char chars[4] = {' ', ' ', ' ', ' '};
    std::memcpy(chars, text, std::min<size_t>(std::strlen(text), 4));
    return static_cast<FourCharCode>(static_cast<unsigned char>(chars[0])) << 24 |
           static_cast<FourCharCode>(static_cast<unsigned char>(chars[1])) << 16 |
           static_cast<FourCharCode>(static_cast<unsigned char>(chars[2])) << 8 |
           static_cast<unsigned char>(chars[3]);
}

template <typename T>
AEDesc value(DescType type, T v) {
    return AEDesc::makeData(type, &v, sizeof v);
}
inline AEDesc shor(int16_t v) {
    return value(typeSInt16, v);
}
inline AEDesc slong(int32_t v) {
    return value(typeSInt32, v);
}
inline AEDesc comp(int64_t v) {
    return value(typeSInt64, v);
}
inline AEDesc enumCode(const char* c) {
    return value(typeEnumerated, code(c));
}
inline AEDesc typed(const char* type, const char* c) {
    return value(code(type), code(c));
}
inline AEDesc text(const std::string& t) {
    return AEDesc::makeData(typeChar, t.data(), t.size());
}
inline AEDesc empty(const char* type) {
    return AEDesc::makeData(code(type), nullptr, 0);
}
inline AEDesc bytes(const char* type, const std::string& b) {
    return AEDesc::makeData(code(type), b.data(), b.size());
}

using Field = std::pair<AEKeyword, AEDesc>;
inline Field field(const char* key, AEDesc v) {
    return {code(key), std::move(v)};
}

template <typename... Fields>
AEDesc record(const char* type, Fields... fields) {
    AEDesc r = AEDesc::makeRecord(code(type));
    (r.put(fields.first, std::move(fields.second)), ...);
    return r;
}

template <typename... Items>
AEDesc list(Items... items) {
    AEDesc l = AEDesc::makeList();
    (l.put(0, std::move(items)), ...);
    return l;
}

// An object specifier.
inline AEDesc obj(const char* form, AEDesc want, AEDesc seld, AEDesc from) {
    return record("obj ", field("form", enumCode(form)), field("want", std::move(want)),
                  field("seld", std::move(seld)), field("from", std::move(from)));
}

}  // namespace trees
