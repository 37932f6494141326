#include "platform/AppleEvents/AppleEvent.h"

#include <atomic>
#include <cstring>

#include "platform/AppleEvents/AECoercion.h"

namespace {

AEReturnID nextReturnID() {
    // Ids run from 1 to 32767 and wrap; -1 (generate) and 0 are never handed out.
    static std::atomic<uint32_t> counter{0};
    return static_cast<AEReturnID>(counter.fetch_add(1) % 32767 + 1);
}

// The header attributes and the type each is read in.
struct HeaderAttribute {
    AEKeyword key;
    DescType type;
};
constexpr HeaderAttribute kHeaderAttributes[] = {
    {keyEventClassAttr, typeType},      {keyEventIDAttr, typeType},     {keyReturnIDAttr, typeSInt16},
    {keyTransactionIDAttr, typeSInt32}, {keyAddressAttr, typeWildCard}, {keyTimeoutAttr, typeSInt32},
    {keySendModeAttr, typeSInt32},
};

const HeaderAttribute* headerAttribute(AEKeyword key) {
    for (const HeaderAttribute& entry : kHeaderAttributes) {
        if (entry.key == key) return &entry;
    }
    return nullptr;
}

AEDesc readHeader(const AEEventHeader& header, AEKeyword key) {
    auto make = [](DescType type, const auto& value) { return AEDesc::makeData(type, &value, sizeof value); };
    switch (key) {
        case keyEventClassAttr:
            return make(typeType, header.eventClass);
        case keyEventIDAttr:
            return make(typeType, header.eventID);
        case keyReturnIDAttr:
            return make(typeSInt16, header.returnID);
        case keyTransactionIDAttr:
            return make(typeSInt32, header.transactionID);
        case keyTimeoutAttr:
            return make(typeSInt32, header.timeout);
        case keySendModeAttr:
            return make(typeSInt32, header.sendMode);
        default:
            return header.address.clone();
    }
}

OSErr writeHeader(AEEventHeader& header, const HeaderAttribute& attribute, const AEDesc& value) {
    if (attribute.key == keyAddressAttr) {
        if (value.isStructured()) return errAEWrongDataType;
        header.address = value.clone();
        return noErr;
    }
    AEDesc coerced;
    if (OSErr err = AECoerceDesc(&value, attribute.type, &coerced); err != noErr) return err;
    const std::vector<uint8_t>& bytes = coerced.bytes();
    void* field = nullptr;
    switch (attribute.key) {
        case keyEventClassAttr:
            field = &header.eventClass;
            break;
        case keyEventIDAttr:
            field = &header.eventID;
            break;
        case keyReturnIDAttr:
            field = &header.returnID;
            break;
        case keyTransactionIDAttr:
            field = &header.transactionID;
            break;
        case keyTimeoutAttr:
            field = &header.timeout;
            break;
        default:
            field = &header.sendMode;
    }
    std::memcpy(field, bytes.data(), bytes.size());
    return noErr;
}

OSErr attributeOf(const AppleEvent* event, AEKeyword key, AEDesc* result) {
    if (!event || !result) return paramErr;
    const AEEventHeader* header = event->event();
    if (!header) return errAENotAppleEvent;
    if (headerAttribute(key)) {
        *result = readHeader(*header, key);
        return noErr;
    }
    const AEDesc* found = header->attributes.find(key);
    if (!found) return errAEDescNotFound;
    *result = found->clone();
    return noErr;
}

}  // namespace

OSErr AECreateAppleEvent(AEEventClass eventClass, AEEventID eventID, const AEAddressDesc* target,
                         AEReturnID returnID, AETransactionID transactionID, AppleEvent* result) {
    if (!result) return paramErr;
    result->reset();
    if (target && target->isStructured()) return errAEWrongDataType;
    if (returnID == kAutoGenerateReturnID) returnID = nextReturnID();
    *result =
        AEDesc::makeEvent(eventClass, eventID, target ? target->clone() : AEDesc(), returnID, transactionID);
    return noErr;
}

OSErr AEGetParamDesc(const AppleEvent* event, AEKeyword key, DescType desiredType, AEDesc* result) {
    return AEGetKeyDesc(event, key, desiredType, result);
}

OSErr AEGetParamPtr(const AppleEvent* event, AEKeyword key, DescType desiredType, DescType* actualType,
                    void* dataPtr, Size maximumSize, Size* actualSize) {
    return AEGetKeyPtr(event, key, desiredType, actualType, dataPtr, maximumSize, actualSize);
}

OSErr AESizeOfParam(const AppleEvent* event, AEKeyword key, DescType* typeCode, Size* dataSize) {
    return AESizeOfKeyDesc(event, key, typeCode, dataSize);
}

OSErr AEPutParamDesc(AppleEvent* event, AEKeyword key, const AEDesc* desc) {
    return AEPutKeyDesc(event, key, desc);
}

OSErr AEPutParamPtr(AppleEvent* event, AEKeyword key, DescType typeCode, const void* dataPtr, Size dataSize) {
    return AEPutKeyPtr(event, key, typeCode, dataPtr, dataSize);
}

OSErr AEDeleteParam(AppleEvent* event, AEKeyword key) {
    return AEDeleteKeyDesc(event, key);
}

OSErr AEGetAttributeDesc(const AppleEvent* event, AEKeyword key, DescType desiredType, AEDesc* result) {
    if (!result) return paramErr;
    AEDesc attribute;
    if (OSErr err = attributeOf(event, key, &attribute); err != noErr) {
        result->reset();
        return err;
    }
    return AECoerceDesc(&attribute, desiredType, result);
}

OSErr AEGetAttributePtr(const AppleEvent* event, AEKeyword key, DescType desiredType, DescType* actualType,
                        void* dataPtr, Size maximumSize, Size* actualSize) {
    AEDesc attribute;
    if (OSErr err = attributeOf(event, key, &attribute); err != noErr) return err;
    AERecord holder = AEDesc::makeRecord();
    holder.put(key, std::move(attribute));
    return AEGetKeyPtr(&holder, key, desiredType, actualType, dataPtr, maximumSize, actualSize);
}

OSErr AEPutAttributeDesc(AppleEvent* event, AEKeyword key, const AEDesc* desc) {
    if (!event || !desc) return paramErr;
    AEEventHeader* header = event->event();
    if (!header) return errAENotAppleEvent;
    if (const HeaderAttribute* attribute = headerAttribute(key))
        return writeHeader(*header, *attribute, *desc);
    header->attributes.put(key, desc->clone());
    return noErr;
}

OSErr AEPutAttributePtr(AppleEvent* event, AEKeyword key, DescType typeCode, const void* dataPtr,
                        Size dataSize) {
    AEDesc value;
    if (OSErr err = AECreateDesc(typeCode, dataPtr, dataSize, &value); err != noErr) return err;
    return AEPutAttributeDesc(event, key, &value);
}
