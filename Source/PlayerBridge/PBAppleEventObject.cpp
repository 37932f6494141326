#include "Source/PlayerBridge/PBAppleEventObject.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <vector>

#include "Source/PlayerBridge/PBLog.h"
#include "Source/PlayerBridge/PBRequestBatch.h"
#include "Source/PlayerBridge/PlayerLocator.h"
#include "platform/AppleEvents/AESend.h"
#include "platform/AppleEvents/AETextEncoding.h"
#include "platform/Carbon/FileReference.h"
#include "platform/Carbon/TickClock.h"

namespace {

constexpr UInt32 kEnumRequestFailed = 0xFFFFFFFF;
constexpr UInt32 kStateStopped = fourCC("kPSS");

std::string code(OSType c) {
    return PBAppleEventObject::stringForOSType(c);
}

// The direct parameter's bytes read as `type`, sized by the parameter's own size first and by
// the coerced size when that is larger, so nothing is cut and nothing is read past.
std::optional<std::vector<uint8_t>> directBytes(const AppleEvent& reply, DescType type, const char* sizeText,
                                                const char* readText) {
    DescType ownType = 0;
    Size size = 0;
    if (OSErr err = AESizeOfParam(&reply, keyDirectObject, &ownType, &size); err != noErr) {
        NullLog(sizeText, err);
        return std::nullopt;
    }
    std::vector<uint8_t> buffer(static_cast<size_t>(size) + 1);
    Size actual = 0;
    OSErr err = AEGetParamPtr(&reply, keyDirectObject, type, nullptr, buffer.data(),
                              static_cast<Size>(buffer.size()), &actual);
    if (err == noErr && actual > static_cast<Size>(buffer.size())) {
        buffer.resize(static_cast<size_t>(actual));
        err = AEGetParamPtr(&reply, keyDirectObject, type, nullptr, buffer.data(),
                            static_cast<Size>(buffer.size()), &actual);
    }
    if (err != noErr) {
        NullLog(readText, err);
        return std::nullopt;
    }
    buffer.resize(static_cast<size_t>(std::clamp<Size>(actual, 0, static_cast<Size>(buffer.size()))));
    return buffer;
}

// Text of bytes that must be 7-bit; anything else is no text.
std::optional<std::string> asciiText(const uint8_t* bytes, size_t size) {
    std::string text(reinterpret_cast<const char*>(bytes), size);
    if (!IsValidUTF8(text)) return std::nullopt;
    return text;
}

}  // namespace

PBAppleEventObject::PBAppleEventObject() = default;

PBAppleEventObject::PBAppleEventObject(AEDesc descriptor, OSType applCode)
    : refDescriptor(std::move(descriptor)), targetApplCode(applCode) {}

PBAppleEventObject::PBAppleEventObject(AEDesc descriptor, SInt32 processID)
    : refDescriptor(std::move(descriptor)), targetProcessID(processID) {}

PBAppleEventObject::~PBAppleEventObject() = default;

AETarget PBAppleEventObject::currentTarget() const {
    // Looked up at every send: the player may have quit and started again since this object
    // was made, and the bridge's objects live as long as the application.
    const SInt32 processID = targetProcessID != 0 ? targetProcessID : PBRunningPlayerProcessID();
    if (processID != 0) return {typeKernelProcessID, static_cast<UInt32>(processID)};
    return {typeApplSignature, targetApplCode};
}

UniqueHandle PBAppleEventObject::newAliasHandleWithPath(const std::string& path) {
    if (path.empty()) return {};
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) return {};
    FSRef ref;
    if (FSPathMakeRef(absolute.string(), &ref) != noErr) return {};
    const std::vector<uint8_t> alias = AliasDataFromPath(ref.path);
    Handle handle = nullptr;
    if (alias.empty() || PtrToHand(alias.data(), &handle, static_cast<Size>(alias.size())) != noErr)
        return {};
    return UniqueHandle(handle);
}

std::string PBAppleEventObject::stringForOSType(OSType c) {
    return {static_cast<char>(c >> 24), static_cast<char>(c >> 16), static_cast<char>(c >> 8),
            static_cast<char>(c)};
}

// --- Templates ---

std::string PBAppleEventObject::eventParameterStringForCountElementsOfClass(OSType objectClass) {
    return "kocl:type(" + code(objectClass) + ") , '----':@";
}

std::string PBAppleEventObject::eventParameterStringForDeleteElementsOfClass(OSType objectClass) {
    return "'----':obj { form:indx, want:type(" + code(objectClass) + "), seld:abso('all '), from:@ }";
}

std::string PBAppleEventObject::eventParameterStringForElementOfClass(OSType objectClass, int index) {
    return "'----':obj { form:indx, want:type(" + code(objectClass) + "), seld:" + std::to_string(index) +
           ", from:@ }";
}

std::string PBAppleEventObject::eventParameterStringForProperty(OSType property) {
    return "'----':obj { form:prop, want:type(prop), seld:type(" + code(property) + "), from:@ }";
}

std::string PBAppleEventObject::eventParameterStringForSettingProperty(OSType property) {
    return "data:@, '----':obj { form:prop, want:type(prop), seld:type(" + code(property) + "), from:@ }";
}

std::string PBAppleEventObject::eventParameterStringForSettingElementOfClass(OSType objectClass, int index) {
    return "data:@, '----':obj { form:indx, want:type(" + code(objectClass) +
           "), seld:" + std::to_string(index) + ", from:@ }";
}

std::string PBAppleEventObject::eventParameterStringForSettingPropertyOfElementOfClass(OSType property,
                                                                                       OSType objectClass,
                                                                                       int index) {
    return "data:@, '----':obj { form:prop, want:type(prop), seld:type(" + code(property) +
           "), from:obj { form:indx, want:type(" + code(objectClass) + "), seld:" + std::to_string(index) +
           ", from:@ }}";
}

namespace {

std::string testTemplate(OSType objectClass, OSType property, const std::string& value) {
    return "obj { form:test, want:type(" + code(objectClass) +
           "), from:@, seld:cmpd{relo:=, 'obj1': obj{ form:prop, want:type(prop), seld:type(" +
           code(property) + "), from:exmn()}, obj2:" + value + "}}";
}

}  // namespace

std::string PBAppleEventObject::eventParameterStringForTestObjectForPropertyForIntValue(OSType objectClass,
                                                                                        OSType property,
                                                                                        int value) {
    return testTemplate(objectClass, property, std::to_string(value));
}

std::string PBAppleEventObject::eventParameterStringForTestObjectForPropertyForStringValue(
    OSType objectClass, OSType property, const std::string& value) {
    return testTemplate(objectClass, property, "\"" + value + "\"");
}

std::string PBAppleEventObject::eventParameterStringForTestObjectForProperty(OSType objectClass,
                                                                             OSType property) {
    return testTemplate(objectClass, property, "@");
}

std::string PBAppleEventObject::eventParameterStringForSearchingType(OSType objectClass,
                                                                     const std::string& test) {
    return "'----':obj { form:indx, want:type(" + code(objectClass) + "), seld:'abso'('any '), from:" + test +
           " }";
}

// --- Sending ---

void PBAppleEventObject::logBuild(OSStatus err) {
    if (err != noErr) NullLog("Error creating Apple Event: %d", err);
}

OSStatus PBAppleEventObject::awaitReply(const AppleEvent& event, AppleEvent* reply, AESendMode mode) {
    PBRequestBatch* batch = PBRequestBatch::current();
    if (!batch) return AESendMessage(&event, reply, mode, kReplyTimeout);
    if (batch->unanswered()) return errAETimeout;
    const UInt32 start = TickCount();
    const OSStatus err = AESendMessage(
        &event, reply, mode, std::min<SInt32>(kReplyTimeout, static_cast<SInt32>(batch->remainingTicks())));
    batch->noteWaited(TickCount() - start);
    if (err == errAETimeout) batch->noteUnanswered();
    return err;
}

std::unique_ptr<AppleEvent> PBAppleEventObject::sendAwaitingReply(const AppleEvent& event, AESendMode mode) {
    auto reply = std::make_unique<AppleEvent>();
    if (OSStatus err = awaitReply(event, reply.get(), mode); err != noErr) {
        NullLog("Error sending Apple Event: %d", err);
        return nullptr;
    }
    return reply;
}

bool PBAppleEventObject::sendWithoutReply(const AppleEvent& event, AESendMode mode) {
    AppleEvent reply;
    if (OSStatus err = AESendMessage(&event, &reply, mode, kAEDefaultTimeout); err != noErr) {
        NullLog("Error sending Apple Event: %d", err);
        return false;
    }
    return true;
}

// --- Requests ---

std::unique_ptr<AppleEvent> PBAppleEventObject::getPropertyOfTypeForObject(OSType property,
                                                                           const AEDesc& object) const {
    return request(kCoreEventClass, kAEGetData, eventParameterStringForProperty(property), object);
}

std::unique_ptr<AppleEvent> PBAppleEventObject::getPropertyOfType(OSType property) const {
    return getPropertyOfTypeForObject(property, refDescriptor);
}

bool PBAppleEventObject::setPropertyWithValueForObject(const AEDesc& value, OSType property,
                                                       const AEDesc& object) const {
    AppleEvent event;
    if (buildEvent(kCoreEventClass, kAESetData, &event, eventParameterStringForSettingProperty(property),
                   value, object) != noErr)
        return false;
    return sendWithoutReply(event);
}

bool PBAppleEventObject::setPropertyWithValue(const AEDesc& value, OSType property) const {
    return setPropertyWithValueForObject(value, property, refDescriptor);
}

SInt32 PBAppleEventObject::getCountOfElementsOfClass(OSType objectClass) const {
    const auto reply = request(kCoreEventClass, kAECountElements,
                               eventParameterStringForCountElementsOfClass(objectClass), refDescriptor);
    if (!reply) return -1;
    SInt32 count = -1;
    if (OSErr err =
            AEGetParamPtr(reply.get(), keyDirectObject, typeSInt32, nullptr, &count, sizeof count, nullptr);
        err != noErr) {
        NullLog("Unable to get parameter of reply: %d", err);
        return -1;
    }
    return count;
}

std::unique_ptr<AppleEvent> PBAppleEventObject::deleteAllElementsOfClass(OSType objectClass) const {
    return request(kCoreEventClass, kAEDelete, eventParameterStringForDeleteElementsOfClass(objectClass),
                   refDescriptor);
}

std::unique_ptr<AppleEvent> PBAppleEventObject::deleteElement(int index, OSType objectClass) const {
    return request(kCoreEventClass, kAEDelete, eventParameterStringForElementOfClass(objectClass, index + 1),
                   refDescriptor);
}

std::unique_ptr<AppleEvent> PBAppleEventObject::getElementOfClass(OSType objectClass, int index) const {
    return request(kCoreEventClass, kAEGetData, eventParameterStringForElementOfClass(objectClass, index + 1),
                   refDescriptor);
}

std::unique_ptr<AppleEvent> PBAppleEventObject::getElementOfClassByKeyWithIntValue(OSType objectClass,
                                                                                   OSType property,
                                                                                   int value) const {
    const std::string test =
        eventParameterStringForTestObjectForPropertyForIntValue(objectClass, property, value);
    return request(kCoreEventClass, kAEGetData, eventParameterStringForSearchingType(objectClass, test),
                   refDescriptor);
}

std::unique_ptr<AppleEvent> PBAppleEventObject::getElementOfClassByKeyWithLongIntValue(OSType objectClass,
                                                                                       OSType property,
                                                                                       SInt64 value) const {
    AEDesc key;
    if (OSErr err = AECreateDesc(typeSInt64, &value, sizeof value, &key); err != noErr) {
        NullLog("Error constructing 64 bit integer descriptor: %d", err);
        return nullptr;
    }
    const std::string test = eventParameterStringForTestObjectForProperty(objectClass, property);
    AppleEvent event;
    const OSStatus err =
        buildEvent(kCoreEventClass, kAEGetData, &event,
                   eventParameterStringForSearchingType(objectClass, test), refDescriptor, key);
    AEDisposeDesc(&key);
    if (err != noErr) return nullptr;
    return sendAwaitingReply(event);
}

std::unique_ptr<AppleEvent> PBAppleEventObject::getElementOfClassByKeyWithStringValue(
    OSType objectClass, OSType property, const std::string& value) const {
    const std::string test =
        eventParameterStringForTestObjectForPropertyForStringValue(objectClass, property, value);
    return request(kCoreEventClass, kAEGetData, eventParameterStringForSearchingType(objectClass, test),
                   refDescriptor);
}

bool PBAppleEventObject::setElementOfClass(OSType objectClass, int index, const AEDesc& value) const {
    AppleEvent event;
    if (buildEvent(kCoreEventClass, kAESetData, &event,
                   eventParameterStringForSettingElementOfClass(objectClass, index + 1), value,
                   refDescriptor) != noErr)
        return false;
    return sendWithoutReply(event);
}

bool PBAppleEventObject::setProperty(OSType property, OSType objectClass, int index,
                                     const AEDesc& value) const {
    AppleEvent event;
    if (buildEvent(kCoreEventClass, kAESetData, &event,
                   eventParameterStringForSettingPropertyOfElementOfClass(property, objectClass, index + 1),
                   value, refDescriptor) != noErr)
        return false;
    return sendWithoutReply(event);
}

// --- Decoders ---

UInt32 PBAppleEventObject::getPropertyAsEnumForDesc(OSType property) const {
    const auto reply = getPropertyOfType(property);
    if (!reply) return kEnumRequestFailed;
    UInt32 value = 0;
    if (OSErr err = AEGetParamPtr(reply.get(), keyDirectObject, typeEnumerated, nullptr, &value, sizeof value,
                                  nullptr);
        err != noErr) {
        NullLog("Error extracting parameters from reply: %d", err);
        return kStateStopped;
    }
    return value;
}

SInt32 PBAppleEventObject::getPropertyAsIntegerForDesc(OSType property) const {
    const auto reply = getPropertyOfType(property);
    if (!reply) return -1;
    SInt32 value = -1;
    if (OSErr err =
            AEGetParamPtr(reply.get(), keyDirectObject, typeSInt32, nullptr, &value, sizeof value, nullptr);
        err != noErr) {
        NullLog("Error extracting parameters from reply: %d", err);
        return -1;
    }
    return value;
}

SInt64 PBAppleEventObject::getPropertyAsLongIntegerForDesc(OSType property) const {
    const auto reply = getPropertyOfType(property);
    if (!reply) return -1;
    SInt64 value = -1;
    if (OSErr err =
            AEGetParamPtr(reply.get(), keyDirectObject, typeSInt64, nullptr, &value, sizeof value, nullptr);
        err != noErr) {
        NullLog("Error extracting parameters from reply: %d", err);
        return -1;
    }
    return value;
}

std::optional<std::string> PBAppleEventObject::getPropertyAsStringForDesc(OSType property) const {
    const auto reply = getPropertyOfType(property);
    if (!reply) return std::nullopt;
    DescType type = 0;
    Size size = 0;
    if (OSErr err = AESizeOfParam(reply.get(), keyDirectObject, &type, &size); err != noErr) {
        NullLog("Unable to find length of reply string: %d", err);
        return std::nullopt;
    }
    if (type == typeChar) {
        const auto bytes = directBytes(*reply, typeChar, "Unable to find length of reply string: %d",
                                       "Unable to get coerce type of reply: %d");
        if (!bytes) return std::nullopt;
        return asciiText(bytes->data(), bytes->size());
    }
    if (type == typeUnicodeText || type == typeVersion) {
        const auto bytes = directBytes(*reply, typeUnicodeText, "Unable to find length of reply string: %d",
                                       "Unable to get coerce type of reply: %d");
        if (!bytes) return std::nullopt;
        return UTF8FromUTF16Bytes(bytes->data(), bytes->size());
    }
    return std::nullopt;
}

std::optional<std::string> PBAppleEventObject::getPropertyAsVersionForDesc(OSType) const {
    const auto reply = getPropertyOfType(typeVersion);
    if (!reply) return std::nullopt;
    const auto bytes = directBytes(*reply, typeVersion, "Unable to find length of reply string: %d",
                                   "Error extracting parameters from reply: %d");
    // Numeric version (2), stage (1), pre-release (1), region (2), then the short version
    // string's length byte and its characters.
    constexpr size_t kShortVersionLength = 6;
    if (!bytes || bytes->size() <= kShortVersionLength) return std::nullopt;
    const size_t length =
        std::min<size_t>((*bytes)[kShortVersionLength], bytes->size() - kShortVersionLength - 1);
    return asciiText(bytes->data() + kShortVersionLength + 1, length);
}

std::optional<std::string> PBAppleEventObject::getPropertyAsPathURLForDesc(OSType property) const {
    const auto reply = getPropertyOfType(property);
    if (!reply) return std::nullopt;
    const auto bytes = directBytes(*reply, typeFSRef, "Unable to find length of reply string: %d",
                                   "Error extracting parameters from reply: %d");
    if (!bytes) return std::nullopt;
    const std::optional<FSRef> ref = FSRefFromData(bytes->data(), bytes->size());
    if (!ref || ref->path.empty() || ref->path.front() != '/') return std::nullopt;
    return FileURLFromPath(ref->path);
}

std::optional<std::string> PBAppleEventObject::getPropertyAsPathForDesc(OSType property) const {
    const std::optional<std::string> url = getPropertyAsPathURLForDesc(property);
    if (!url) return std::nullopt;
    return PathFromFileURL(*url);
}

std::optional<CFAbsoluteTime> PBAppleEventObject::getPropertyAsDateForDesc(OSType property) const {
    const auto reply = getPropertyOfType(property);
    if (!reply) return std::nullopt;
    SInt64 longDate = 0;
    if (OSErr err = AEGetParamPtr(reply.get(), keyDirectObject, typeLongDateTime, nullptr, &longDate,
                                  sizeof longDate, nullptr);
        err != noErr) {
        NullLog("Error extracting parameters from reply: %d", err);
        return std::nullopt;
    }
    return static_cast<CFAbsoluteTime>(longDate - kLongDateTimeTo2001);
}

// --- Encoders ---

bool PBAppleEventObject::setPropertyWithInteger(SInt32 value, OSType property) const {
    AEDesc desc;
    if (OSStatus err = AEBuildDesc(&desc, nullptr, "long(@)", value); err != noErr) {
        NullLog("Error constructing parameters for set command: %d", err);
        return false;
    }
    return setPropertyWithValue(desc, property);
}

bool PBAppleEventObject::setPropertyWithLongInteger(SInt64 value, OSType property) const {
    AEDesc desc;
    if (OSErr err = AECreateDesc(typeSInt64, &value, sizeof value, &desc); err != noErr) {
        NullLog("Error constructing 64 bit integer descriptor: %d", err);
        return false;
    }
    return setPropertyWithValue(desc, property);
}

bool PBAppleEventObject::setPropertyWithString(const std::string& value, OSType property) const {
    const std::vector<uint8_t> utf16 = UTF16BytesFromUTF8(value);
    AEDesc desc;
    if (OSStatus err =
            AEBuildDesc(&desc, nullptr, "'utxt'(@)", static_cast<Size>(utf16.size()), utf16.data());
        err != noErr) {
        NullLog("Error constructing parameters for set command: %d", err);
        return false;
    }
    return setPropertyWithValue(desc, property);
}

bool PBAppleEventObject::setPropertyWithDate(CFAbsoluteTime date, OSType property) const {
    if (!std::isfinite(date) || std::fabs(date) > 1e17) {
        NullLog("Error converting Date: %d", paramErr);
        return false;
    }
    const SInt64 longDate = static_cast<SInt64>(std::floor(date)) + kLongDateTimeTo2001;
    AEDesc desc;
    if (OSStatus err =
            AEBuildDesc(&desc, nullptr, "'ldt '(@)", static_cast<Size>(sizeof longDate), &longDate);
        err != noErr) {
        NullLog("Error constructing parameters for set command: %d", err);
        return false;
    }
    return setPropertyWithValue(desc, property);
}

std::optional<AEDesc> PBDirectObjectOfReply(const AppleEvent* reply) {
    if (!reply) return std::nullopt;
    AEDesc direct;
    if (OSErr err = AEGetParamDesc(reply, keyDirectObject, typeWildCard, &direct); err != noErr) {
        NullLog("Error extracting from reply event: %d", err);
        return std::nullopt;
    }
    return direct;
}
