#include "platform/AppleEvents/AEFlatten.h"

#include <cstring>
#include <optional>

namespace {

constexpr uint8_t kMagic[] = {'B', 'W', 'A', 'E', 0x01};

class Writer {
public:
    std::vector<uint8_t> out;
    // Send mode and time-out written in place of the top event's own.
    const AEEventHeader* sent{nullptr};

    void u8(uint8_t v) { out.push_back(v); }
    void u16(uint16_t v) { u8(static_cast<uint8_t>(v >> 8)), u8(static_cast<uint8_t>(v)); }
    void u32(uint32_t v) { u16(static_cast<uint16_t>(v >> 16)), u16(static_cast<uint16_t>(v)); }
    void bytes(const std::vector<uint8_t>& b) { out.insert(out.end(), b.begin(), b.end()); }

    void fields(const AEDesc& desc) {
        u32(static_cast<uint32_t>(desc.count()));
        for (size_t i = 0; i < desc.count(); ++i) {
            u32(desc.keyAt(i));
            write(desc.at(i));
        }
    }

    void write(const AEDesc& desc) {
        u32(desc.descriptorType);
        u8(static_cast<uint8_t>(desc.kind()));
        switch (desc.kind()) {
            case AEDescKind::data:
                u32(static_cast<uint32_t>(desc.bytes().size()));
                bytes(desc.bytes());
                return;
            case AEDescKind::list:
                u32(static_cast<uint32_t>(desc.count()));
                for (size_t i = 0; i < desc.count(); ++i) write(desc.at(i));
                return;
            case AEDescKind::record:
                fields(desc);
                return;
            case AEDescKind::event: {
                const AEEventHeader& header = *desc.event();
                u32(header.eventClass);
                u32(header.eventID);
                u16(static_cast<uint16_t>(header.returnID));
                u32(static_cast<uint32_t>(header.transactionID));
                const AEEventHeader& stamp = sent ? *sent : header;
                sent = nullptr;
                u32(static_cast<uint32_t>(stamp.sendMode));
                u32(static_cast<uint32_t>(stamp.timeout));
                write(header.address);
                fields(header.attributes);
                fields(desc);
                return;
            }
        }
    }
};

class Reader {
public:
    Reader(const uint8_t* data, size_t size) : fData(data), fSize(size) {}

    bool atEnd() const { return fPos == fSize; }

    bool magic() {
        if (fSize - fPos < sizeof kMagic || std::memcmp(fData + fPos, kMagic, sizeof kMagic) != 0)
            return false;
        fPos += sizeof kMagic;
        return true;
    }

    std::optional<AEDesc> read(int depth) {
        if (depth > kAEFlattenMaxDepth) return std::nullopt;
        uint32_t type;
        uint8_t kind;
        if (!u32(type) || !u8(kind)) return std::nullopt;
        switch (kind) {
            case static_cast<uint8_t>(AEDescKind::data): {
                uint32_t size;
                if (!u32(size) || fSize - fPos < size) return std::nullopt;
                AEDesc desc = AEDesc::makeData(type, fData + fPos, size);
                fPos += size;
                return desc;
            }
            case static_cast<uint8_t>(AEDescKind::list): {
                uint32_t count;
                if (!u32(count)) return std::nullopt;
                AEDesc list = AEDesc::makeList();
                list.descriptorType = type;
                for (uint32_t i = 0; i < count; ++i) {
                    std::optional<AEDesc> item = read(depth + 1);
                    if (!item) return std::nullopt;
                    list.put(0, std::move(*item));
                }
                return list;
            }
            case static_cast<uint8_t>(AEDescKind::record): {
                AEDesc record = AEDesc::makeRecord(type);
                if (!fields(record, depth)) return std::nullopt;
                return record;
            }
            case static_cast<uint8_t>(AEDescKind::event): {
                uint32_t eventClass, eventID, transaction, sendMode, timeout;
                uint16_t returnID;
                if (!u32(eventClass) || !u32(eventID) || !u16(returnID) || !u32(transaction) ||
                    !u32(sendMode) || !u32(timeout))
                    return std::nullopt;
                std::optional<AEDesc> address = read(depth + 1);
                if (!address || address->isStructured()) return std::nullopt;
                AEDesc event = AEDesc::makeEvent(eventClass, eventID, std::move(*address),
                                                 static_cast<AEReturnID>(returnID),
                                                 static_cast<AETransactionID>(transaction));
                event.descriptorType = type;
                AEEventHeader& header = *event.event();
                header.sendMode = static_cast<AESendMode>(sendMode);
                header.timeout = static_cast<SInt32>(timeout);
                if (!fields(header.attributes, depth) || !fields(event, depth)) return std::nullopt;
                return event;
            }
            default:
                return std::nullopt;
        }
    }

private:
    const uint8_t* fData;
    size_t fSize;
    size_t fPos{0};

    bool u8(uint8_t& v) {
        if (fSize - fPos < 1) return false;
        v = fData[fPos++];
        return true;
    }
    bool u16(uint16_t& v) {
        if (fSize - fPos < 2) return false;
        v = static_cast<uint16_t>(fData[fPos] << 8 | fData[fPos + 1]);
        fPos += 2;
        return true;
    }
    bool u32(uint32_t& v) {
        if (fSize - fPos < 4) return false;
        v = static_cast<uint32_t>(fData[fPos]) << 24 | static_cast<uint32_t>(fData[fPos + 1]) << 16 |
            static_cast<uint32_t>(fData[fPos + 2]) << 8 | fData[fPos + 3];
        fPos += 4;
        return true;
    }

    bool fields(AEDesc& target, int depth) {
        uint32_t count;
        if (!u32(count)) return false;
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t key;
            if (!u32(key)) return false;
            std::optional<AEDesc> value = read(depth + 1);
            if (!value) return false;
            target.put(key, std::move(*value));
        }
        return true;
    }
};

}  // namespace

std::vector<uint8_t> AEFlatten(const AEDesc& desc) {
    Writer writer;
    writer.out.assign(std::begin(kMagic), std::end(kMagic));
    writer.write(desc);
    return std::move(writer.out);
}

std::vector<uint8_t> AEFlattenEvent(const AppleEvent& event, AESendMode sendMode, SInt32 timeout) {
    AEEventHeader stamp;
    stamp.sendMode = sendMode;
    stamp.timeout = timeout;
    Writer writer;
    writer.sent = event.event() ? &stamp : nullptr;
    writer.out.assign(std::begin(kMagic), std::end(kMagic));
    writer.write(event);
    return std::move(writer.out);
}

Size AESizeOfFlattenedDesc(const AEDesc* desc) {
    return desc ? static_cast<Size>(AEFlatten(*desc).size()) : 0;
}

OSStatus AEFlattenDesc(const AEDesc* desc, Ptr buffer, Size bufferSize, Size* actualSize) {
    if (!desc || bufferSize < 0 || (!buffer && bufferSize > 0)) return paramErr;
    const std::vector<uint8_t> bytes = AEFlatten(*desc);
    const auto size = static_cast<Size>(bytes.size());
    if (actualSize) *actualSize = size;
    if (size > bufferSize) return memFullErr;
    std::memcpy(buffer, bytes.data(), bytes.size());
    return noErr;
}

OSStatus AEUnflattenDesc(const void* buffer, Size bufferSize, AEDesc* result) {
    if (!result) return paramErr;
    result->reset();
    if (bufferSize < 0 || (!buffer && bufferSize > 0)) return paramErr;
    Reader reader(static_cast<const uint8_t*>(buffer), static_cast<size_t>(bufferSize));
    if (!reader.magic()) return errAECorruptData;
    std::optional<AEDesc> desc = reader.read(0);
    if (!desc || !reader.atEnd()) return errAECorruptData;
    *result = std::move(*desc);
    return noErr;
}

OSStatus AEUnflatten(const std::vector<uint8_t>& bytes, AEDesc* result) {
    return AEUnflattenDesc(bytes.data(), static_cast<Size>(bytes.size()), result);
}
