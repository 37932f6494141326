#include "platform/Foundation/PropertyListSerialization.h"

#include <fcntl.h>
#include <plist/plist.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <string_view>

#include "platform/Foundation/PropertyListBinaryWriter.h"
#include "platform/Foundation/PropertyListXMLReader.h"
#include "platform/Foundation/PropertyListXMLWriter.h"

namespace {

constexpr std::string_view kBinaryMagic = "bplist00";
constexpr size_t kTrailerLength = 32;

struct PlistFree {
    void operator()(plist_t node) const { plist_free(node); }
};
using UniquePlist = std::unique_ptr<void, PlistFree>;

Failure fail(std::string message) {
    return Failure{std::move(message)};
}

static_assert(PropertyListReadOptions{}.maximumLength == PropertyListSerialization::kMaximumLength);

// "64 MiB" for the usual cap; bytes for another.
std::string sizeText(const PropertyListReadOptions& options) {
    const size_t mebibyte = size_t{1} << 20;
    if (options.maximumLength % mebibyte == 0)
        return std::to_string(options.maximumLength / mebibyte) + " MiB";
    return std::to_string(options.maximumLength) + " bytes";
}

uint64_t readBigEndian(const uint8_t* bytes, size_t length) {
    uint64_t value = 0;
    for (size_t i = 0; i < length; ++i) value = (value << 8) | bytes[i];
    return value;
}

// Walks a binary list's object graph before libplist parses it: every offset, length and
// reference in range, dictionary keys are strings, no cycles, bounded depth and bounded size
// once shared objects are expanded. libplist 2.2 trusts much of this.
class BinaryChecker {
public:
    explicit BinaryChecker(std::span<const uint8_t> bytes) : mBytes(bytes) {}

    std::string check() {
        if (mBytes.size() < kBinaryMagic.size() + kTrailerLength) return "truncated binary property list";
        const uint8_t* trailer = mBytes.data() + mBytes.size() - kTrailerLength;
        mOffsetSize = trailer[6];
        mRefSize = trailer[7];
        mObjectCount = readBigEndian(trailer + 8, 8);
        const uint64_t top = readBigEndian(trailer + 16, 8);
        mTableOffset = readBigEndian(trailer + 24, 8);
        const uint64_t tableEnd = mBytes.size() - kTrailerLength;
        if (!validIntSize(mOffsetSize) || !validIntSize(mRefSize)) return "bad binary trailer sizes";
        if (mObjectCount == 0 || top >= mObjectCount) return "bad binary object count";
        if (mTableOffset < kBinaryMagic.size() || mTableOffset > tableEnd ||
            mObjectCount > (tableEnd - mTableOffset) / mOffsetSize)
            return "binary offset table out of range";
        mState.assign(mObjectCount, State::Unvisited);
        mExpanded.assign(mObjectCount, 0);
        std::string error;
        visit(top, 0, error);
        return error;
    }

private:
    enum class State : uint8_t { Unvisited, Open, Done };

    // Writers use as few bytes as the largest offset or reference needs: 3 is as valid as 4.
    static bool validIntSize(uint8_t size) { return size >= 1 && size <= 8; }

    // Saturating count of values the object expands to; 0 on error.
    uint64_t visit(uint64_t object, int depth, std::string& error) {
        if (depth > PropertyListSerialization::kMaximumDepth) {
            error = "binary property list nested too deeply";
            return 0;
        }
        if (mState[object] == State::Open) {
            error = "binary property list refers to itself";
            return 0;
        }
        if (mState[object] == State::Done) return mExpanded[object];
        mState[object] = State::Open;

        const uint64_t offset =
            readBigEndian(mBytes.data() + mTableOffset + object * mOffsetSize, mOffsetSize);
        if (offset < kBinaryMagic.size() || offset >= mTableOffset) {
            error = "binary object offset out of range";
            return 0;
        }
        uint64_t position = offset + 1;
        const uint8_t marker = mBytes[offset];
        const uint8_t kind = marker >> 4;
        const uint8_t info = marker & 0x0F;
        uint64_t total = 1;

        auto need = [&](uint64_t length) {
            if (length > mTableOffset - position) {
                error = "binary object runs past its data";
                return false;
            }
            return true;
        };
        auto count = [&](uint64_t& n) {
            if (info != 0x0F) {
                n = info;
                return true;
            }
            if (!need(1)) return false;
            const uint8_t intMarker = mBytes[position++];
            const uint8_t power = intMarker & 0x0F;
            if ((intMarker >> 4) != 0x1 || power > 3) {
                error = "bad binary length";
                return false;
            }
            const uint64_t length = uint64_t{1} << power;
            if (!need(length)) return false;
            n = readBigEndian(mBytes.data() + position, length);
            position += length;
            return true;
        };

        switch (kind) {
            case 0x0:
                if (info != 0x8 && info != 0x9) error = "unsupported binary object";
                break;
            case 0x1: {
                if (info > 4) {
                    error = "bad binary integer size";
                    break;
                }
                const uint64_t length = uint64_t{1} << info;
                if (!need(length)) break;
                if (length == 16 && readBigEndian(mBytes.data() + position, 8) != 0)
                    error = "binary integer out of range";
                break;
            }
            case 0x2:
                if (info != 2 && info != 3)
                    error = "bad binary real size";
                else
                    need(uint64_t{1} << info);
                break;
            case 0x3:
                if (info != 3)
                    error = "bad binary date";
                else
                    need(8);
                break;
            case 0x4:
            case 0x5: {
                uint64_t n = 0;
                if (count(n)) need(n);
                break;
            }
            case 0x6: {
                uint64_t n = 0;
                if (!count(n)) break;
                if (n > std::numeric_limits<uint64_t>::max() / 2)
                    error = "binary object runs past its data";
                else
                    need(n * 2);
                break;
            }
            case 0xA:
            case 0xD: {
                uint64_t n = 0;
                if (!count(n)) break;
                const uint64_t refs = kind == 0xD ? n * 2 : n;
                if (n > (mTableOffset - position) / mRefSize / (kind == 0xD ? 2 : 1)) {
                    error = "binary object runs past its data";
                    break;
                }
                for (uint64_t i = 0; i < refs && error.empty(); ++i) {
                    const uint64_t ref = readBigEndian(mBytes.data() + position + i * mRefSize, mRefSize);
                    if (ref >= mObjectCount) {
                        error = "binary object reference out of range";
                        break;
                    }
                    if (kind == 0xD && i < n && !isString(ref)) {
                        error = "binary dictionary key is not a string of text";
                        break;
                    }
                    total += visit(ref, depth + 1, error);
                    if (total > PropertyListSerialization::kMaximumValues) {
                        error = "binary property list too large once expanded";
                        break;
                    }
                }
                break;
            }
            default:
                error = "unsupported binary object";
                break;
        }
        if (!error.empty()) return 0;
        mState[object] = State::Done;
        mExpanded[object] = total;
        return total;
    }

    // A key must be a string without NUL characters (libplist asserts on those).
    bool isString(uint64_t object) const {
        const uint64_t offset =
            readBigEndian(mBytes.data() + mTableOffset + object * mOffsetSize, mOffsetSize);
        if (offset < kBinaryMagic.size() || offset >= mTableOffset) return false;
        const uint8_t kind = mBytes[offset] >> 4;
        if (kind != 0x5 && kind != 0x6) return false;
        uint64_t position = offset + 1;
        uint64_t count = mBytes[offset] & 0x0F;
        if (count == 0x0F) {
            if (position >= mTableOffset) return false;
            const uint8_t intMarker = mBytes[position++];
            const uint8_t power = intMarker & 0x0F;
            if ((intMarker >> 4) != 0x1 || power > 3) return false;
            const uint64_t length = uint64_t{1} << power;
            if (length > mTableOffset - position) return false;
            count = readBigEndian(mBytes.data() + position, length);
            position += length;
        }
        const uint64_t unit = kind == 0x6 ? 2 : 1;
        if (count > (mTableOffset - position) / unit) return false;
        for (uint64_t i = 0; i < count; ++i) {
            const uint8_t* at = mBytes.data() + position + i * unit;
            if (at[0] == 0 && (unit == 1 || at[1] == 0)) return false;
        }
        return true;
    }

    std::span<const uint8_t> mBytes;
    uint8_t mOffsetSize{0};
    uint8_t mRefSize{0};
    uint64_t mObjectCount{0};
    uint64_t mTableOffset{0};
    std::vector<State> mState;
    std::vector<uint64_t> mExpanded;
};

// libplist 2.2 keeps integers as 64 unsigned bits; whether one above INT64_MAX is negative only
// shows in how it writes the value back, so ask its XML writer.
bool writesAsNegative(plist_t node) {
    UniquePlist copy(plist_copy(node));
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(copy.get(), &xml, &length);
    if (!xml) return false;
    const bool negative = std::string_view(xml, length).find("<integer>-") != std::string_view::npos;
    std::free(xml);
    return negative;
}

Result<PropertyList> fromNode(plist_t node, int depth) {
    if (depth > PropertyListSerialization::kMaximumDepth) return fail("property list nested too deeply");
    switch (plist_get_node_type(node)) {
        case PLIST_DICT: {
            PropertyList::Dictionary dictionary;
            plist_dict_iter it = nullptr;
            plist_dict_new_iter(node, &it);
            std::unique_ptr<void, decltype(&std::free)> iterOwner(it, &std::free);
            for (;;) {
                char* key = nullptr;
                plist_t value = nullptr;
                plist_dict_next_item(node, it, &key, &value);
                if (!value) {
                    std::free(key);
                    break;
                }
                std::string keyText = key ? key : "";
                std::free(key);
                Result<PropertyList> converted = fromNode(value, depth + 1);
                if (!converted) return converted;
                dictionary.insert_or_assign(std::move(keyText), std::move(converted).value());
            }
            return PropertyList(std::move(dictionary));
        }
        case PLIST_ARRAY: {
            PropertyList::Array array;
            const uint32_t size = plist_array_get_size(node);
            array.reserve(size);
            for (uint32_t i = 0; i < size; ++i) {
                Result<PropertyList> converted = fromNode(plist_array_get_item(node, i), depth + 1);
                if (!converted) return converted;
                array.push_back(std::move(converted).value());
            }
            return PropertyList(std::move(array));
        }
        case PLIST_STRING:
        case PLIST_KEY: {
            uint64_t length = 0;
            const char* text = plist_get_string_ptr(node, &length);
            return PropertyList(std::string(text ? text : "", text ? length : 0));
        }
        case PLIST_BOOLEAN: {
            uint8_t value = 0;
            plist_get_bool_val(node, &value);
            return PropertyList(value != 0);
        }
        case PLIST_UINT: {
            uint64_t value = 0;
            plist_get_uint_val(node, &value);
            if (value > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) && writesAsNegative(node))
                return PropertyList(static_cast<int64_t>(value));
            return PropertyList(value);
        }
        case PLIST_REAL: {
            double value = 0;
            plist_get_real_val(node, &value);
            return PropertyList(value);
        }
        case PLIST_DATE: {
            int32_t seconds = 0;
            int32_t microseconds = 0;
            plist_get_date_val(node, &seconds, &microseconds);
            // libplist 2.2 splits a date toward zero and drops the sign of the fraction, so
            // the sign comes from the seconds (it is lost only within the second before 2001).
            const double fraction = std::abs(microseconds) / 1e6;
            return PropertyList(PropertyList::Date{seconds < 0 ? seconds - fraction : seconds + fraction});
        }
        case PLIST_DATA: {
            uint64_t length = 0;
            const char* bytes = plist_get_data_ptr(node, &length);
            const auto* begin = reinterpret_cast<const uint8_t*>(bytes);
            return PropertyList(PropertyList::Data(begin, begin + (bytes ? length : 0)));
        }
        default:
            return fail("unsupported property-list value");
    }
}

}  // namespace

Result<PropertyList> PropertyListSerialization::propertyListWithData(std::span<const uint8_t> bytes,
                                                                     PropertyListFormat* format,
                                                                     const PropertyListReadOptions& options) {
    if (bytes.empty()) return fail("empty property list");
    if (bytes.size() > options.maximumLength) return fail("property list larger than " + sizeText(options));
    plist_t root = nullptr;
    const bool binary = bytes.size() >= kBinaryMagic.size() &&
                        std::memcmp(bytes.data(), kBinaryMagic.data(), kBinaryMagic.size()) == 0;
    if (binary) {
        // The parser takes a 32-bit length.
        if (bytes.size() > std::numeric_limits<uint32_t>::max())
            return fail("binary property list too large");
        if (std::string error = BinaryChecker(bytes).check(); !error.empty()) return fail(error);
        plist_from_bin(reinterpret_cast<const char*>(bytes.data()), static_cast<uint32_t>(bytes.size()),
                       &root);
    } else {
        // libplist 2.2 chains a dictionary's keys in a fixed 4096 buckets, so reading a list of
        // many keys through it grows with the square of their number.
        const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        Result<PropertyList> read =
            PropertyListXMLReader(text, kMaximumValues, kMaximumDepth, options.keptTopLevelKeys).read();
        if (read && format) *format = PropertyListFormat::XML;
        return read;
    }
    if (!root) return fail("malformed binary property list");
    UniquePlist owner(root);
    if (format) *format = PropertyListFormat::Binary;
    return fromNode(root, 0);
}

Result<PropertyList::Data> PropertyListSerialization::dataWithPropertyList(const PropertyList& plist,
                                                                           PropertyListFormat format) {
    // libplist's writers find keys and shared objects through its fixed table, which makes
    // them quadratic in the number of keys; ours are linear.
    if (format == PropertyListFormat::Binary) return PropertyListBinaryWriter(kMaximumDepth).write(plist);
    return PropertyListXMLWriter(kMaximumDepth).write(plist);
}

Result<PropertyList> PropertyListSerialization::propertyListWithContentsOfFile(
    const std::string& path, PropertyListFormat* format, const PropertyListReadOptions& options) {
    // Without O_NONBLOCK a pipe in the file's place blocks the open until a writer comes, which
    // may be never; only a regular file is read, and for one the flag changes nothing.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return fail(path + ": " + std::strerror(errno));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0) return fail(path + ": " + std::strerror(errno));
    if (!S_ISREG(info.st_mode)) return fail(path + ": not a regular file");
    if (static_cast<uint64_t>(info.st_size) > options.maximumLength)
        return fail(path + ": larger than " + sizeText(options));
    PropertyList::Data bytes;
    try {
        bytes.resize(static_cast<size_t>(info.st_size));
    } catch (const std::bad_alloc&) {
        return fail(path + ": not enough memory to read " + std::to_string(info.st_size) + " bytes");
    }
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return fail(path + ": " + std::strerror(errno));
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    bytes.resize(done);
    Result<PropertyList> parsed = Failure{std::string()};
    try {
        parsed = propertyListWithData(bytes, format, options);
    } catch (const std::bad_alloc&) {
        return fail(path + ": not enough memory to parse it");
    }
    if (!parsed) return fail(path + ": " + parsed.error());
    return parsed;
}
