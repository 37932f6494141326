// The base of every object of the player bridge: an object specifier of the player's scripting
// interface, the requests addressed to it, and the decoders and encoders of their values.
//
// Requests are built from fixed build-syntax templates and sent synchronously; a request that
// waits for its reply waits 120 ticks (2 seconds) at most. The player is looked up at every
// send: by process id while it runs, else by its signature 'hook'. Failure is returned as the
// request's failure value (null, nullopt, false or -1); nothing is raised or shown.
// Main thread only.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/AppleEvents/AEBuild.h"
#include "platform/AppleEvents/AETransport.h"
#include "platform/AppleEvents/AppleEvent.h"
#include "platform/Carbon/MacMemory.h"

// Seconds since 1 January 2001, 00:00 GMT.
using CFAbsoluteTime = double;

// Seconds from 1 January 1904 (long date-times) to 1 January 2001.
inline constexpr SInt64 kLongDateTimeTo2001 = 3061152000;

class PBAppleEventObject : public std::enable_shared_from_this<PBAppleEventObject> {
public:
    PBAppleEventObject(const PBAppleEventObject&) = delete;
    PBAppleEventObject& operator=(const PBAppleEventObject&) = delete;

    static constexpr OSType iTunesSignature = fourCC("hook");
    static constexpr AESendMode kWaitSendMode = kAEWaitReply | kAENeverInteract;  // 0x13
    static constexpr AESendMode kNoReplySendMode = kAENoReply;                    // 0x01
    static constexpr SInt32 kReplyTimeout = 120;                                  // ticks

    // The application itself: a 'null' specifier addressed to 'hook'.
    PBAppleEventObject();
    // Adopts the descriptor; the player is found by look-up at each send, else by applCode.
    PBAppleEventObject(AEDesc descriptor, OSType applCode);
    // Adopts the descriptor and addresses the given process (0: look the player up at each send).
    PBAppleEventObject(AEDesc descriptor, SInt32 processID);
    virtual ~PBAppleEventObject();

    const AEDesc& descriptor() const { return refDescriptor; }
    // Where the next event goes: 'kpid' with the process id while the player runs, else 'sign'.
    AETarget currentTarget() const;

    // A minimal alias of an existing file, or an empty handle when the path names none.
    static UniqueHandle newAliasHandleWithPath(const std::string& path);
    static std::string stringForOSType(OSType code);

    // Templates in the build syntax.
    static std::string eventParameterStringForCountElementsOfClass(OSType objectClass);
    static std::string eventParameterStringForDeleteElementsOfClass(OSType objectClass);
    static std::string eventParameterStringForElementOfClass(OSType objectClass, int index);
    static std::string eventParameterStringForProperty(OSType property);
    static std::string eventParameterStringForSettingProperty(OSType property);
    static std::string eventParameterStringForSettingElementOfClass(OSType objectClass, int index);
    static std::string eventParameterStringForSettingPropertyOfElementOfClass(OSType property,
                                                                              OSType objectClass, int index);
    static std::string eventParameterStringForTestObjectForPropertyForIntValue(OSType objectClass,
                                                                               OSType property, int value);
    static std::string eventParameterStringForTestObjectForPropertyForStringValue(OSType objectClass,
                                                                                  OSType property,
                                                                                  const std::string& value);
    static std::string eventParameterStringForTestObjectForProperty(OSType objectClass, OSType property);
    static std::string eventParameterStringForSearchingType(OSType objectClass, const std::string& test);

    // Requests. Indexes are 0-based here and 1-based on the wire. A reply is the caller's; null
    // means the event could not be built or sent, or no reply came in time.
    std::unique_ptr<AppleEvent> getPropertyOfTypeForObject(OSType property, const AEDesc& object) const;
    std::unique_ptr<AppleEvent> getPropertyOfType(OSType property) const;
    // True once the event was handed over; the player's own errors are never seen.
    bool setPropertyWithValueForObject(const AEDesc& value, OSType property, const AEDesc& object) const;
    bool setPropertyWithValue(const AEDesc& value, OSType property) const;
    // The count, or -1 when it cannot be read.
    SInt32 getCountOfElementsOfClass(OSType objectClass) const;
    std::unique_ptr<AppleEvent> deleteAllElementsOfClass(OSType objectClass) const;
    std::unique_ptr<AppleEvent> deleteElement(int index, OSType objectClass) const;
    std::unique_ptr<AppleEvent> getElementOfClass(OSType objectClass, int index) const;
    std::unique_ptr<AppleEvent> getElementOfClassByKeyWithIntValue(OSType objectClass, OSType property,
                                                                   int value) const;
    std::unique_ptr<AppleEvent> getElementOfClassByKeyWithLongIntValue(OSType objectClass, OSType property,
                                                                       SInt64 value) const;
    std::unique_ptr<AppleEvent> getElementOfClassByKeyWithStringValue(OSType objectClass, OSType property,
                                                                      const std::string& value) const;
    bool setElementOfClass(OSType objectClass, int index, const AEDesc& value) const;
    bool setProperty(OSType property, OSType objectClass, int index, const AEDesc& value) const;

    // Decoders of a property of this object.
    // 0xFFFFFFFF when the request failed, 'kPSS' when the reply holds no enumeration.
    UInt32 getPropertyAsEnumForDesc(OSType property) const;
    SInt32 getPropertyAsIntegerForDesc(OSType property) const;      // -1 on failure
    SInt64 getPropertyAsLongIntegerForDesc(OSType property) const;  // -1 on failure
    std::optional<std::string> getPropertyAsStringForDesc(OSType property) const;
    // The player's short version string; always asks for 'vers', whatever the argument.
    std::optional<std::string> getPropertyAsVersionForDesc(OSType property) const;
    std::optional<std::string> getPropertyAsPathURLForDesc(OSType property) const;
    std::optional<std::string> getPropertyAsPathForDesc(OSType property) const;
    std::optional<CFAbsoluteTime> getPropertyAsDateForDesc(OSType property) const;

    // Encoders: true when the value was built and handed over.
    bool setPropertyWithInteger(SInt32 value, OSType property) const;
    bool setPropertyWithLongInteger(SInt64 value, OSType property) const;
    bool setPropertyWithString(const std::string& value, OSType property) const;
    bool setPropertyWithDate(CFAbsoluteTime date, OSType property) const;

protected:
    // Builds an event addressed to the current target; the build status (logged when not noErr).
    template <typename... Args>
    OSStatus buildEvent(AEEventClass eventClass, AEEventID eventID, AppleEvent* event,
                        const std::string& format, const Args&... args) const {
        const AETarget target = currentTarget();
        const UInt32 address = target.value;
        const OSStatus err =
            AEBuildAppleEvent(eventClass, eventID, target.addressType, &address, sizeof address,
                              kAutoGenerateReturnID, kAnyTransactionID, event, nullptr, format, args...);
        logBuild(err);
        return err;
    }
    // Sends with 0x13 and 120 ticks; the reply, or null when the send failed.
    static std::unique_ptr<AppleEvent> sendAwaitingReply(const AppleEvent& event,
                                                         AESendMode mode = kWaitSendMode);
    // Sends and waits at most 120 ticks, within a request batch at most what is left of its
    // budget (errAETimeout at once, nothing sent, when that is spent); the send's status.
    static OSStatus awaitReply(const AppleEvent& event, AppleEvent* reply, AESendMode mode = kWaitSendMode);
    // Sends with the given no-reply mode and the default time-out.
    static bool sendWithoutReply(const AppleEvent& event, AESendMode mode = kNoReplySendMode);

    // An event of the given id on this object, sent for its reply.
    template <typename... Args>
    std::unique_ptr<AppleEvent> request(AEEventClass eventClass, AEEventID eventID, const std::string& format,
                                        const Args&... args) const {
        AppleEvent event;
        if (buildEvent(eventClass, eventID, &event, format, args...) != noErr) return nullptr;
        return sendAwaitingReply(event);
    }

    AEDesc refDescriptor;
    OSType targetApplCode{iTunesSignature};
    SInt32 targetProcessID{0};

private:
    static void logBuild(OSStatus err);
};

// The reply's direct parameter as a descriptor of its own type, or nullopt.
std::optional<AEDesc> PBDirectObjectOfReply(const AppleEvent* reply);
