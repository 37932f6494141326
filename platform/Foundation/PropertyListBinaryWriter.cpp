#include "platform/Foundation/PropertyListBinaryWriter.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/Foundation/UTF8.h"

namespace {

constexpr uint8_t kMarkerFalse = 0x08;
constexpr uint8_t kMarkerTrue = 0x09;
constexpr uint8_t kMarkerInteger = 0x10;
constexpr uint8_t kMarkerReal = 0x20;
constexpr uint8_t kMarkerDate = 0x30;
constexpr uint8_t kMarkerData = 0x40;
constexpr uint8_t kMarkerASCII = 0x50;
constexpr uint8_t kMarkerUTF16 = 0x60;
constexpr uint8_t kMarkerArray = 0xA0;
constexpr uint8_t kMarkerDictionary = 0xD0;

// Bytes for an unsigned value: 1, 2, 4 or 8, as readers expect.
uint8_t sizeFor(uint64_t value) {
    if (value <= 0xFF) return 1;
    if (value <= 0xFFFF) return 2;
    if (value <= 0xFFFFFFFF) return 4;
    return 8;
}

void appendBigEndian(std::string& out, uint64_t value, uint8_t size) {
    for (int shift = (size - 1) * 8; shift >= 0; shift -= 8)
        out += static_cast<char>((value >> shift) & 0xFF);
}

// Non-negative values in the fewest bytes; negative ones take all eight.
void appendInteger(std::string& out, int64_t value) {
    const uint8_t size = value < 0 ? 8 : sizeFor(static_cast<uint64_t>(value));
    out += static_cast<char>(kMarkerInteger | std::countr_zero(size));
    appendBigEndian(out, static_cast<uint64_t>(value), size);
}

// A marker with its count: in the low nibble below 15, else as an integer object after it.
void appendHeader(std::string& out, uint8_t marker, uint64_t count) {
    if (count < 15) {
        out += static_cast<char>(marker | count);
        return;
    }
    out += static_cast<char>(marker | 0x0F);
    appendInteger(out, static_cast<int64_t>(count));
}

void appendDouble(std::string& out, uint8_t marker, double value) {
    out += static_cast<char>(marker | 0x03);
    appendBigEndian(out, std::bit_cast<uint64_t>(value), 8);
}

// ASCII text as bytes, anything else as UTF-16 big-endian; fails for text that is not UTF-8 or
// holds a NUL, as the XML writer does.
bool appendString(std::string& out, const std::string& text) {
    bool ascii = true;
    for (char c : text) {
        if (c == '\0') return false;
        if (static_cast<uint8_t>(c) >= 0x80) ascii = false;
    }
    if (ascii) {
        appendHeader(out, kMarkerASCII, text.size());
        out += text;
        return true;
    }
    std::u16string units;
    units.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        std::optional<uint32_t> decoded = decodeUTF8(text, i);
        if (!decoded) return false;
        uint32_t cp = *decoded;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            units += static_cast<char16_t>(0xD800 | (cp >> 10));
            units += static_cast<char16_t>(0xDC00 | (cp & 0x3FF));
        } else {
            units += static_cast<char16_t>(cp);
        }
    }
    appendHeader(out, kMarkerUTF16, units.size());
    for (char16_t unit : units) appendBigEndian(out, unit, 2);
    return true;
}

// Values and dictionary keys, an upper bound of the objects written; nesting past the bound is
// refused later anyway.
uint64_t countValues(const PropertyList& value, int depth, int maximumDepth) {
    if (depth > maximumDepth) return 1;
    uint64_t count = 1;
    if (const PropertyList::Dictionary* dictionary = value.dictionary()) {
        count += dictionary->size();
        for (const auto& [key, item] : *dictionary) count += countValues(item, depth + 1, maximumDepth);
    } else if (const PropertyList::Array* array = value.array()) {
        for (const PropertyList& item : *array) count += countValues(item, depth + 1, maximumDepth);
    }
    return count;
}

}  // namespace

bool PropertyListBinaryWriter::fail(std::string message) {
    if (mError.empty()) mError = std::move(message);
    return false;
}

// The scalar just encoded at the end of mBytes, from start: the index of an equal one already
// stored (dropping the new bytes), else of a new object.
bool PropertyListBinaryWriter::addScalar(uint64_t start, uint64_t& index) {
    const std::string_view encoded = std::string_view(mBytes).substr(start);
    const uint32_t hash = static_cast<uint32_t>(std::hash<std::string_view>{}(encoded));
    if ((mScalarCount + 1) * 2 > mSlots.size()) grow();
    if (mObjects.size() >= kEmpty) return fail("property list holds too many values");
    const uint64_t mask = mSlots.size() - 1;
    for (uint64_t at = hash & mask;; at = (at + 1) & mask) {
        Slot& slot = mSlots[at];
        if (slot.object == kEmpty) {
            slot = Slot{hash, static_cast<uint32_t>(mObjects.size())};
            ++mScalarCount;
            index = mObjects.size();
            mObjects.push_back(Object{start, encoded.size(), {}});
            return true;
        }
        const Object& other = mObjects[slot.object];
        if (slot.hash == hash && std::string_view(mBytes).substr(other.offset, other.length) == encoded) {
            mBytes.resize(start);
            index = slot.object;
            return true;
        }
    }
}

void PropertyListBinaryWriter::grow() {
    std::vector<Slot> old = std::move(mSlots);
    mSlots.assign(old.empty() ? 64 : old.size() * 2, Slot{});
    const uint64_t mask = mSlots.size() - 1;
    for (const Slot& slot : old) {
        if (slot.object == kEmpty) continue;
        uint64_t at = slot.hash & mask;
        while (mSlots[at].object != kEmpty) at = (at + 1) & mask;
        mSlots[at] = slot;
    }
}

bool PropertyListBinaryWriter::add(const PropertyList& value, int depth, uint64_t& index) {
    if (depth > mMaximumDepth) return fail("property list nested too deeply");
    using Type = PropertyList::Type;
    const uint64_t start = mBytes.size();
    switch (value.type()) {
        case Type::Dictionary: {
            const PropertyList::Dictionary& dictionary = *value.dictionary();
            index = mObjects.size();
            appendHeader(mBytes, kMarkerDictionary, dictionary.size());
            mObjects.push_back(Object{start, mBytes.size() - start, {}});
            std::vector<uint64_t> refs(dictionary.size() * 2);
            size_t i = 0;
            for (const auto& [key, item] : dictionary) {
                const uint64_t keyStart = mBytes.size();
                if (!appendString(mBytes, key)) return fail("dictionary key is not UTF-8 text");
                if (!addScalar(keyStart, refs[i])) return false;
                if (!add(item, depth + 1, refs[dictionary.size() + i])) return false;
                ++i;
            }
            mObjects[index].refs = std::move(refs);
            return true;
        }
        case Type::Array: {
            const PropertyList::Array& array = *value.array();
            index = mObjects.size();
            appendHeader(mBytes, kMarkerArray, array.size());
            mObjects.push_back(Object{start, mBytes.size() - start, {}});
            std::vector<uint64_t> refs(array.size());
            for (size_t i = 0; i < array.size(); ++i)
                if (!add(array[i], depth + 1, refs[i])) return false;
            mObjects[index].refs = std::move(refs);
            return true;
        }
        case Type::String:
            if (!appendString(mBytes, *value.string())) return fail("string is not UTF-8 text");
            break;
        case Type::Integer:
            appendInteger(mBytes, *value.integer());
            break;
        case Type::UnsignedInteger:
            // Readers take an 8-byte integer as signed; 16 bytes would not be read back by all.
            return fail("unsigned integer " + std::to_string(*value.unsignedInteger()) +
                        " is above the range a property list stores exactly");
        case Type::Real:
            appendDouble(mBytes, kMarkerReal, *value.real());
            break;
        case Type::Boolean:
            mBytes += static_cast<char>(*value.boolean() ? kMarkerTrue : kMarkerFalse);
            break;
        case Type::Date: {
            // Whole microseconds within the 32-bit second range, the precision and range the
            // reader keeps.
            const double seconds = value.date()->seconds;
            if (!std::isfinite(seconds) || seconds < std::numeric_limits<int32_t>::min() ||
                seconds >= static_cast<double>(std::numeric_limits<int32_t>::max()) + 1.0)
                return fail("date out of range");
            const double whole = std::floor(seconds);
            const double microseconds = std::round((seconds - whole) * 1e6);
            if (whole + 1 > std::numeric_limits<int32_t>::max() && microseconds >= 1e6)
                return fail("date out of range");
            appendDouble(mBytes, kMarkerDate, whole + microseconds / 1e6);
            break;
        }
        case Type::Data: {
            const PropertyList::Data& data = *value.data();
            appendHeader(mBytes, kMarkerData, data.size());
            mBytes.append(reinterpret_cast<const char*>(data.data()), data.size());
            break;
        }
    }
    return addScalar(start, index);
}

Result<PropertyList::Data> PropertyListBinaryWriter::write(const PropertyList& plist) {
    mBytes.clear();
    mObjects.clear();
    mScalarCount = 0;
    mError.clear();
    // Sized once for every object: growing the table on the way costs as much as filling it.
    const uint64_t most = countValues(plist, 0, mMaximumDepth);
    mObjects.reserve(most);
    mSlots.assign(std::bit_ceil(std::max<uint64_t>(most * 2, 64)), Slot{});
    uint64_t top = 0;
    if (!add(plist, 0, top)) return Failure{mError};

    const uint8_t refSize = sizeFor(mObjects.size() - 1);
    static constexpr std::string_view kMagic = "bplist00";
    PropertyList::Data out(kMagic.begin(), kMagic.end());
    out.reserve(kMagic.size() + mBytes.size() + mObjects.size() * 8);
    std::vector<uint64_t> offsets;
    offsets.reserve(mObjects.size());
    auto put = [&out](uint64_t value, uint8_t size) {
        for (int shift = (size - 1) * 8; shift >= 0; shift -= 8) out.push_back((value >> shift) & 0xFF);
    };
    for (const Object& object : mObjects) {
        offsets.push_back(out.size());
        const auto* bytes = reinterpret_cast<const uint8_t*>(mBytes.data()) + object.offset;
        out.insert(out.end(), bytes, bytes + object.length);
        for (uint64_t ref : object.refs) put(ref, refSize);
    }
    const uint64_t tableOffset = out.size();
    const uint8_t offsetSize = sizeFor(offsets.back());
    for (uint64_t offset : offsets) put(offset, offsetSize);
    out.insert(out.end(), 6, 0);
    out.push_back(offsetSize);
    out.push_back(refSize);
    put(mObjects.size(), 8);
    put(top, 8);
    put(tableOffset, 8);
    return out;
}
