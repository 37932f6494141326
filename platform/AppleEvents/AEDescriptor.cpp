#include "platform/AppleEvents/AEDescriptor.h"

#include <algorithm>
#include <cstring>

#include "platform/AppleEvents/AECoercion.h"
#include "platform/Carbon/FileReference.h"

struct AEDesc::Body {
    AEDescKind kind{AEDescKind::data};
    std::vector<uint8_t> bytes;
    std::vector<std::pair<AEKeyword, AEDesc>> items;
    std::unique_ptr<AEEventHeader> header;
};

namespace {

const std::vector<uint8_t> kNoBytes;
const AEDesc kNullDesc;

}  // namespace

AEDesc::AEDesc(AEDesc&& other) noexcept
    : descriptorType(std::exchange(other.descriptorType, typeNull)), fBody(std::move(other.fBody)) {}

AEDesc& AEDesc::operator=(AEDesc&& other) noexcept {
    if (this != &other) {
        descriptorType = std::exchange(other.descriptorType, typeNull);
        fBody = std::move(other.fBody);
    }
    return *this;
}

AEDesc::AEDesc() noexcept = default;
AEDesc::~AEDesc() = default;

AEDesc AEDesc::makeData(DescType type, const void* bytes, size_t size) {
    const auto* begin = static_cast<const uint8_t*>(bytes);
    return makeData(type,
                    size > 0 && begin ? std::vector<uint8_t>(begin, begin + size) : std::vector<uint8_t>());
}

AEDesc AEDesc::makeData(DescType type, std::vector<uint8_t> bytes) {
    AEDesc desc;
    desc.descriptorType = type;
    if (!bytes.empty()) {
        desc.fBody = std::make_unique<Body>();
        desc.fBody->bytes = std::move(bytes);
    }
    return desc;
}

AEDesc AEDesc::makeList() {
    AEDesc desc;
    desc.descriptorType = typeAEList;
    desc.fBody = std::make_unique<Body>();
    desc.fBody->kind = AEDescKind::list;
    return desc;
}

AEDesc AEDesc::makeRecord(DescType type) {
    AEDesc desc;
    desc.descriptorType = type;
    desc.fBody = std::make_unique<Body>();
    desc.fBody->kind = AEDescKind::record;
    return desc;
}

AEDesc AEDesc::makeEvent(AEEventClass eventClass, AEEventID eventID, AEDesc target, AEReturnID returnID,
                         AETransactionID transactionID) {
    AEDesc desc;
    desc.descriptorType = typeAppleEvent;
    desc.fBody = std::make_unique<Body>();
    desc.fBody->kind = AEDescKind::event;
    desc.fBody->header = std::make_unique<AEEventHeader>();
    AEEventHeader& header = *desc.fBody->header;
    header.eventClass = eventClass;
    header.eventID = eventID;
    header.returnID = returnID;
    header.transactionID = transactionID;
    header.address = std::move(target);
    return desc;
}

AEDesc AEDesc::clone() const {
    AEDesc copy;
    copy.descriptorType = descriptorType;
    if (!fBody) return copy;
    copy.fBody = std::make_unique<Body>();
    copy.fBody->kind = fBody->kind;
    copy.fBody->bytes = fBody->bytes;
    copy.fBody->items.reserve(fBody->items.size());
    for (const auto& [key, value] : fBody->items) copy.fBody->items.emplace_back(key, value.clone());
    if (fBody->header) {
        const AEEventHeader& from = *fBody->header;
        copy.fBody->header = std::make_unique<AEEventHeader>();
        AEEventHeader& to = *copy.fBody->header;
        to.eventClass = from.eventClass;
        to.eventID = from.eventID;
        to.returnID = from.returnID;
        to.transactionID = from.transactionID;
        to.sendMode = from.sendMode;
        to.timeout = from.timeout;
        to.address = from.address.clone();
        to.attributes = from.attributes.clone();
    }
    return copy;
}

void AEDesc::reset() {
    descriptorType = typeNull;
    fBody.reset();
}

AEDescKind AEDesc::kind() const {
    return fBody ? fBody->kind : AEDescKind::data;
}

const std::vector<uint8_t>& AEDesc::bytes() const {
    return fBody ? fBody->bytes : kNoBytes;
}

size_t AEDesc::count() const {
    return fBody ? fBody->items.size() : 0;
}

AEKeyword AEDesc::keyAt(size_t index) const {
    return fBody && index < fBody->items.size() ? fBody->items[index].first : 0;
}

const AEDesc& AEDesc::at(size_t index) const {
    return fBody && index < fBody->items.size() ? fBody->items[index].second : kNullDesc;
}

const AEDesc* AEDesc::find(AEKeyword key) const {
    if (!fBody || fBody->kind == AEDescKind::list) return nullptr;
    for (const auto& item : fBody->items) {
        if (item.first == key) return &item.second;
    }
    return nullptr;
}

bool AEDesc::put(AEKeyword key, AEDesc value) {
    if (!isStructured()) return false;
    if (fBody->kind == AEDescKind::list) {
        fBody->items.emplace_back(0, std::move(value));
        return true;
    }
    for (auto& item : fBody->items) {
        if (item.first == key) {
            item.second = std::move(value);
            return true;
        }
    }
    fBody->items.emplace_back(key, std::move(value));
    return true;
}

bool AEDesc::remove(AEKeyword key) {
    if (!fBody || fBody->kind == AEDescKind::list) return false;
    auto& items = fBody->items;
    for (auto it = items.begin(); it != items.end(); ++it) {
        if (it->first == key) {
            items.erase(it);
            return true;
        }
    }
    return false;
}

bool AEDesc::replaceAt(size_t index, AEDesc value) {
    if (!fBody || fBody->kind == AEDescKind::data || index >= fBody->items.size()) return false;
    fBody->items[index].second = std::move(value);
    return true;
}

const AEEventHeader* AEDesc::event() const {
    return fBody ? fBody->header.get() : nullptr;
}

AEEventHeader* AEDesc::event() {
    return fBody ? fBody->header.get() : nullptr;
}

bool AEDesc::operator==(const AEDesc& other) const {
    if (descriptorType != other.descriptorType || kind() != other.kind() || bytes() != other.bytes() ||
        count() != other.count())
        return false;
    for (size_t i = 0; i < count(); ++i) {
        if (keyAt(i) != other.keyAt(i) || !(at(i) == other.at(i))) return false;
    }
    const AEEventHeader* mine = event();
    const AEEventHeader* theirs = other.event();
    if (!mine || !theirs) return mine == theirs;
    return *mine == *theirs;
}

bool AEEventHeader::operator==(const AEEventHeader& other) const {
    return eventClass == other.eventClass && eventID == other.eventID && returnID == other.returnID &&
           transactionID == other.transactionID && sendMode == other.sendMode && timeout == other.timeout &&
           address == other.address && attributes == other.attributes;
}

// --- The classic calls ---

namespace {

bool validSize(const void* dataPtr, Size dataSize) {
    return dataSize >= 0 && (dataPtr || dataSize == 0);
}

// Reads one descriptor's data, coerced, into the caller's buffer.
OSErr copyOut(const AEDesc& source, DescType desiredType, DescType* actualType, void* dataPtr,
              Size maximumSize, Size* actualSize) {
    if (maximumSize < 0 || (!dataPtr && maximumSize > 0)) return paramErr;
    AEDesc coerced;
    const AEDesc* desc = &source;
    if (desiredType != typeWildCard && desiredType != source.descriptorType) {
        if (OSErr err = AECoerceDesc(&source, desiredType, &coerced); err != noErr) return err;
        desc = &coerced;
    }
    if (desc->isStructured()) return errAECoercionFail;
    const std::vector<uint8_t>& bytes = desc->bytes();
    const Size size = static_cast<Size>(bytes.size());
    if (size > 0 && maximumSize > 0)
        std::memcpy(dataPtr, bytes.data(), static_cast<size_t>(std::min(size, maximumSize)));
    if (actualType) *actualType = desc->descriptorType;
    if (actualSize) *actualSize = size;
    return noErr;
}

OSErr coerceInto(const AEDesc& source, DescType desiredType, AEDesc* result) {
    if (desiredType == typeWildCard || desiredType == source.descriptorType) {
        *result = source.clone();
        return noErr;
    }
    return AECoerceDesc(&source, desiredType, result);
}

bool isRecordLike(const AEDesc* desc) {
    return desc && (desc->kind() == AEDescKind::record || desc->kind() == AEDescKind::event);
}

}  // namespace

OSErr AECreateDesc(DescType typeCode, const void* dataPtr, Size dataSize, AEDesc* result) {
    if (!result) return paramErr;
    result->reset();
    if (!validSize(dataPtr, dataSize)) return paramErr;
    const auto* bytes = static_cast<const uint8_t*>(dataPtr);
    const auto size = static_cast<size_t>(dataSize);
    // File descriptors are checked here so that nothing downstream meets a malformed one.
    if (typeCode == typeAlias && !PathFromAliasData(bytes, size)) return paramErr;
    if (typeCode == typeFSRef && !FSRefFromData(bytes, size)) return paramErr;
    *result = AEDesc::makeData(typeCode, dataPtr, size);
    return noErr;
}

OSErr AEDisposeDesc(AEDesc* desc) {
    if (desc) desc->reset();
    return noErr;
}

OSErr AEDuplicateDesc(const AEDesc* original, AEDesc* result) {
    if (!original || !result) return paramErr;
    if (original == result) return noErr;
    *result = original->clone();
    return noErr;
}

Size AEGetDescDataSize(const AEDesc* desc) {
    return desc ? static_cast<Size>(desc->bytes().size()) : 0;
}

OSErr AEGetDescData(const AEDesc* desc, void* dataPtr, Size maximumSize) {
    if (!desc) return paramErr;
    if (desc->isStructured()) return errAEWrongDataType;
    return copyOut(*desc, typeWildCard, nullptr, dataPtr, maximumSize, nullptr);
}

OSErr AEReplaceDescData(DescType typeCode, const void* dataPtr, Size dataSize, AEDesc* desc) {
    if (!desc) return paramErr;
    if (!validSize(dataPtr, dataSize)) return paramErr;
    *desc = AEDesc::makeData(typeCode, dataPtr, static_cast<size_t>(dataSize));
    return noErr;
}

OSErr AECreateList(const void*, Size, Boolean isRecord, AEDescList* result) {
    if (!result) return paramErr;
    *result = isRecord ? AEDesc::makeRecord() : AEDesc::makeList();
    return noErr;
}

OSErr AECountItems(const AEDescList* list, long* count) {
    if (!list || !count) return paramErr;
    if (!list->isStructured()) return errAEWrongDataType;
    *count = static_cast<long>(list->count());
    return noErr;
}

OSErr AEGetNthDesc(const AEDescList* list, long index, DescType desiredType, AEKeyword* keyword,
                   AEDesc* result) {
    if (!list || !result) return paramErr;
    result->reset();
    if (!list->isStructured()) return errAEWrongDataType;
    if (index < 1 || static_cast<size_t>(index) > list->count()) return errAEIllegalIndex;
    const size_t i = static_cast<size_t>(index - 1);
    if (keyword) *keyword = list->kind() == AEDescKind::list ? typeWildCard : list->keyAt(i);
    return coerceInto(list->at(i), desiredType, result);
}

OSErr AEGetNthPtr(const AEDescList* list, long index, DescType desiredType, AEKeyword* keyword,
                  DescType* actualType, void* dataPtr, Size maximumSize, Size* actualSize) {
    if (!list) return paramErr;
    if (!list->isStructured()) return errAEWrongDataType;
    if (index < 1 || static_cast<size_t>(index) > list->count()) return errAEIllegalIndex;
    const size_t i = static_cast<size_t>(index - 1);
    if (keyword) *keyword = list->kind() == AEDescKind::list ? typeWildCard : list->keyAt(i);
    return copyOut(list->at(i), desiredType, actualType, dataPtr, maximumSize, actualSize);
}

OSErr AEPutDesc(AEDescList* list, long index, const AEDesc* desc) {
    if (!list || !desc) return paramErr;
    if (list->kind() != AEDescKind::list) return errAEWrongDataType;
    if (index == 0 || static_cast<size_t>(index) == list->count() + 1) {
        list->put(0, desc->clone());
        return noErr;
    }
    if (index < 0 || !list->replaceAt(static_cast<size_t>(index - 1), desc->clone()))
        return errAEIllegalIndex;
    return noErr;
}

OSErr AEPutPtr(AEDescList* list, long index, DescType typeCode, const void* dataPtr, Size dataSize) {
    AEDesc item;
    if (OSErr err = AECreateDesc(typeCode, dataPtr, dataSize, &item); err != noErr) return err;
    return AEPutDesc(list, index, &item);
}

OSErr AEGetKeyDesc(const AERecord* record, AEKeyword key, DescType desiredType, AEDesc* result) {
    if (!record || !result) return paramErr;
    result->reset();
    if (!isRecordLike(record)) return errAEWrongDataType;
    const AEDesc* found = record->find(key);
    if (!found) return errAEDescNotFound;
    return coerceInto(*found, desiredType, result);
}

OSErr AEGetKeyPtr(const AERecord* record, AEKeyword key, DescType desiredType, DescType* actualType,
                  void* dataPtr, Size maximumSize, Size* actualSize) {
    if (!record) return paramErr;
    if (!isRecordLike(record)) return errAEWrongDataType;
    const AEDesc* found = record->find(key);
    if (!found) return errAEDescNotFound;
    return copyOut(*found, desiredType, actualType, dataPtr, maximumSize, actualSize);
}

OSErr AEPutKeyDesc(AERecord* record, AEKeyword key, const AEDesc* desc) {
    if (!record || !desc) return paramErr;
    if (!isRecordLike(record)) return errAEWrongDataType;
    record->put(key, desc->clone());
    return noErr;
}

OSErr AEPutKeyPtr(AERecord* record, AEKeyword key, DescType typeCode, const void* dataPtr, Size dataSize) {
    if (!record) return paramErr;
    if (!isRecordLike(record)) return errAEWrongDataType;
    AEDesc item;
    if (OSErr err = AECreateDesc(typeCode, dataPtr, dataSize, &item); err != noErr) return err;
    record->put(key, std::move(item));
    return noErr;
}

OSErr AESizeOfKeyDesc(const AERecord* record, AEKeyword key, DescType* typeCode, Size* dataSize) {
    if (!record) return paramErr;
    if (!isRecordLike(record)) return errAEWrongDataType;
    const AEDesc* found = record->find(key);
    if (!found) return errAEDescNotFound;
    if (typeCode) *typeCode = found->descriptorType;
    if (dataSize) *dataSize = static_cast<Size>(found->bytes().size());
    return noErr;
}

OSErr AEDeleteKeyDesc(AERecord* record, AEKeyword key) {
    if (!record) return paramErr;
    if (!isRecordLike(record)) return errAEWrongDataType;
    return record->remove(key) ? OSErr{noErr} : OSErr{errAEDescNotFound};
}
