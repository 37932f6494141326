// Apple-event descriptors: a type and its data, or a list, a record or an event of them.
//
// A descriptor owns everything in it and can only be moved; AEDuplicateDesc makes a deep copy.
// Its kind (plain data, list, record, event) is separate from its type code, so a record may
// carry the type 'obj ' and still be read by key. Integers inside data are in host byte order.
// A default or moved-from descriptor is 'null' with no data.
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "platform/AppleEvents/AEDataModel.h"

enum class AEDescKind : UInt8 { data = 0, list = 1, record = 2, event = 3 };

struct AEEventHeader;

class AEDesc {
public:
    // The classic public field. Changing it retypes the descriptor without touching its kind.
    DescType descriptorType{typeNull};

    AEDesc() noexcept;
    AEDesc(const AEDesc&) = delete;
    AEDesc& operator=(const AEDesc&) = delete;
    AEDesc(AEDesc&& other) noexcept;
    AEDesc& operator=(AEDesc&& other) noexcept;
    ~AEDesc();

    static AEDesc makeData(DescType type, const void* bytes, size_t size);
    static AEDesc makeData(DescType type, std::vector<uint8_t> bytes);
    static AEDesc makeList();
    static AEDesc makeRecord(DescType type = typeAERecord);
    // An event whose return id is already chosen (see AECreateAppleEvent for generated ones).
    static AEDesc makeEvent(AEEventClass eventClass, AEEventID eventID, AEDesc target, AEReturnID returnID,
                            AETransactionID transactionID);

    AEDesc clone() const;
    void reset();

    AEDescKind kind() const;
    bool isStructured() const { return kind() != AEDescKind::data; }
    // The data of a plain descriptor; empty for the other kinds.
    const std::vector<uint8_t>& bytes() const;

    // Items of a list, fields of a record, parameters of an event. A list's keys are 0.
    size_t count() const;
    AEKeyword keyAt(size_t index) const;
    const AEDesc& at(size_t index) const;
    const AEDesc* find(AEKeyword key) const;
    // Records and events: replaces the field with that key in place, else appends it.
    // Lists: appends (the key is ignored). Returns false for plain data.
    bool put(AEKeyword key, AEDesc value);
    bool remove(AEKeyword key);
    // Lists and records: replaces the item at a 0-based index; false when there is none.
    bool replaceAt(size_t index, AEDesc value);

    // The header of an event, null for the other kinds.
    const AEEventHeader* event() const;
    AEEventHeader* event();

    bool operator==(const AEDesc& other) const;

private:
    struct Body;
    std::unique_ptr<Body> fBody;
};

using AERecord = AEDesc;
using AEDescList = AEDesc;
using AppleEvent = AEDesc;
using AEAddressDesc = AEDesc;

// What an event carries besides its parameters. The send mode and time-out are those of its
// last send (0 and kAEDefaultTimeout before it is sent).
struct AEEventHeader {
    AEEventClass eventClass{0};
    AEEventID eventID{0};
    AEReturnID returnID{0};
    AETransactionID transactionID{kAnyTransactionID};
    AESendMode sendMode{0};
    SInt32 timeout{kAEDefaultTimeout};
    AEAddressDesc address;
    // Attributes other than the ones above, by keyword.
    AERecord attributes{AEDesc::makeRecord()};

    bool operator==(const AEEventHeader& other) const;
};

// The classic calls. Every result descriptor is replaced (its old content disposed); on
// failure it is left 'null'.
OSErr AECreateDesc(DescType typeCode, const void* dataPtr, Size dataSize, AEDesc* result);
OSErr AEDisposeDesc(AEDesc* desc);
OSErr AEDuplicateDesc(const AEDesc* original, AEDesc* result);
// Plain descriptors only; structured ones have no data of their own (size 0).
Size AEGetDescDataSize(const AEDesc* desc);
OSErr AEGetDescData(const AEDesc* desc, void* dataPtr, Size maximumSize);
OSErr AEReplaceDescData(DescType typeCode, const void* dataPtr, Size dataSize, AEDesc* desc);

// Lists and records. Indexes are 1-based; on records AEGetNthDesc also gives the keyword.
OSErr AECreateList(const void* factoringPtr, Size factoredSize, Boolean isRecord, AEDescList* result);
OSErr AECountItems(const AEDescList* list, long* count);
OSErr AEGetNthDesc(const AEDescList* list, long index, DescType desiredType, AEKeyword* keyword,
                   AEDesc* result);
OSErr AEGetNthPtr(const AEDescList* list, long index, DescType desiredType, AEKeyword* keyword,
                  DescType* actualType, void* dataPtr, Size maximumSize, Size* actualSize);
// index 0 appends.
OSErr AEPutDesc(AEDescList* list, long index, const AEDesc* desc);
OSErr AEPutPtr(AEDescList* list, long index, DescType typeCode, const void* dataPtr, Size dataSize);
OSErr AEGetKeyDesc(const AERecord* record, AEKeyword key, DescType desiredType, AEDesc* result);
OSErr AEGetKeyPtr(const AERecord* record, AEKeyword key, DescType desiredType, DescType* actualType,
                  void* dataPtr, Size maximumSize, Size* actualSize);
OSErr AEPutKeyDesc(AERecord* record, AEKeyword key, const AEDesc* desc);
OSErr AEPutKeyPtr(AERecord* record, AEKeyword key, DescType typeCode, const void* dataPtr, Size dataSize);
OSErr AESizeOfKeyDesc(const AERecord* record, AEKeyword key, DescType* typeCode, Size* dataSize);
OSErr AEDeleteKeyDesc(AERecord* record, AEKeyword key);
