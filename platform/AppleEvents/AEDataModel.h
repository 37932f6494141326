// Types, codes and status codes of the Apple-event layer.
#pragma once

#include "platform/Carbon/MacTypes.h"

using AEKeyword = FourCharCode;
using AEEventClass = FourCharCode;
using AEEventID = FourCharCode;
using AEReturnID = SInt16;
using AETransactionID = SInt32;
using AESendMode = SInt32;

// Descriptor types.
inline constexpr DescType typeNull = fourCC("null");
inline constexpr DescType typeWildCard = fourCC("****");
inline constexpr DescType typeBoolean = fourCC("bool");
inline constexpr DescType typeSInt16 = fourCC("shor");
inline constexpr DescType typeSInt32 = fourCC("long");
inline constexpr DescType typeSInt64 = fourCC("comp");
inline constexpr DescType typeIEEE64BitFloatingPoint = fourCC("doub");
inline constexpr DescType typeChar = fourCC("TEXT");
inline constexpr DescType typeUnicodeText = fourCC("utxt");
inline constexpr DescType typeUTF8Text = fourCC("utf8");
inline constexpr DescType typeEnumerated = fourCC("enum");
inline constexpr DescType typeType = fourCC("type");
inline constexpr DescType typeKeyword = fourCC("keyw");
inline constexpr DescType typeProperty = fourCC("prop");
inline constexpr DescType typeAbsoluteOrdinal = fourCC("abso");
inline constexpr DescType typeAEList = fourCC("list");
inline constexpr DescType typeAERecord = fourCC("reco");
inline constexpr DescType typeAppleEvent = fourCC("aevt");
inline constexpr DescType typeObjectSpecifier = fourCC("obj ");
inline constexpr DescType typeCompDescriptor = fourCC("cmpd");
inline constexpr DescType typeObjectBeingExamined = fourCC("exmn");
inline constexpr DescType typeKernelProcessID = fourCC("kpid");
inline constexpr DescType typeApplSignature = fourCC("sign");
inline constexpr DescType typeAlias = fourCC("alis");
inline constexpr DescType typeFSRef = fourCC("fsrf");
inline constexpr DescType typeLongDateTime = fourCC("ldt ");
inline constexpr DescType typeVersion = fourCC("vers");

// Parameter and record keywords.
inline constexpr AEKeyword keyDirectObject = fourCC("----");
inline constexpr AEKeyword keyErrorNumber = fourCC("errn");
inline constexpr AEKeyword keyErrorString = fourCC("errs");
inline constexpr AEKeyword keyAEData = fourCC("data");
inline constexpr AEKeyword keyAEInsertHere = fourCC("insh");
inline constexpr AEKeyword keyAEObjectClass = fourCC("kocl");
inline constexpr AEKeyword keyAEDesiredClass = fourCC("want");
inline constexpr AEKeyword keyAEKeyForm = fourCC("form");
inline constexpr AEKeyword keyAEKeyData = fourCC("seld");
inline constexpr AEKeyword keyAEContainer = fourCC("from");
inline constexpr AEKeyword keyAECompOperator = fourCC("relo");
inline constexpr AEKeyword keyAEObject1 = fourCC("obj1");
inline constexpr AEKeyword keyAEObject2 = fourCC("obj2");

// Attributes of an event. The send mode attribute is this layer's own: it carries the mode the
// sender used, so a receiver can log it.
inline constexpr AEKeyword keyEventClassAttr = fourCC("evcl");
inline constexpr AEKeyword keyEventIDAttr = fourCC("evid");
inline constexpr AEKeyword keyReturnIDAttr = fourCC("rtid");
inline constexpr AEKeyword keyTransactionIDAttr = fourCC("tran");
inline constexpr AEKeyword keyAddressAttr = fourCC("addr");
inline constexpr AEKeyword keyTimeoutAttr = fourCC("timo");
inline constexpr AEKeyword keySendModeAttr = fourCC("smod");

// Event classes and ids.
inline constexpr AEEventClass kCoreEventClass = fourCC("core");
inline constexpr AEEventID kAEGetData = fourCC("getd");
inline constexpr AEEventID kAESetData = fourCC("setd");
inline constexpr AEEventID kAECountElements = fourCC("cnte");
inline constexpr AEEventID kAEDelete = fourCC("delo");
inline constexpr AEEventClass kAEAnswerClass = fourCC("aevt");
inline constexpr AEEventID kAEAnswer = fourCC("ansr");

// Key forms and comparison operators of object specifiers.
inline constexpr DescType formPropertyID = fourCC("prop");
inline constexpr DescType formAbsolutePosition = fourCC("indx");
inline constexpr DescType formTest = fourCC("test");
inline constexpr DescType kAEEquals = fourCC("=   ");
inline constexpr DescType kAEAll = fourCC("all ");
inline constexpr DescType kAEAny = fourCC("any ");

// Send modes: the low two bits choose the reply, the next two the interaction.
enum : AESendMode {
    kAENoReply = 0x00000001,
    kAEQueueReply = 0x00000002,
    kAEWaitReply = 0x00000003,
    kAEReplyModeMask = 0x00000003,
    kAENeverInteract = 0x00000010,
    kAECanInteract = 0x00000020,
    kAEAlwaysInteract = 0x00000030,
};

// Time-outs in ticks of 1/60 second.
enum : SInt32 {
    kAEDefaultTimeout = -1,
    kNoTimeOut = -2,
};
// What kAEDefaultTimeout stands for: one minute.
inline constexpr SInt32 kAEDefaultTimeoutTicks = 3600;

enum : AEReturnID { kAutoGenerateReturnID = -1 };
enum : AETransactionID { kAnyTransactionID = 0 };

// Status codes of the Apple Event Manager (procNotFound, -600, lives in MacTypes.h).
enum : OSStatus {
    connectionInvalid = -609,  // the channel to the target broke
    errAECoercionFail = -1700,
    errAEDescNotFound = -1701,
    errAECorruptData = -1702,
    errAEWrongDataType = -1703,
    errAENotAEDesc = -1704,
    errAEBadListItem = -1705,
    errAENotAppleEvent = -1707,
    errAEEventNotHandled = -1708,
    errAEReplyNotValid = -1709,
    errAEUnknownSendMode = -1710,
    errAETimeout = -1712,
    errAEParamMissed = -1715,
    errAEUnknownAddressType = -1716,
    errAEHandlerNotFound = -1717,
    errAEIllegalIndex = -1719,
    errAENotAnObjSpec = -1727,
    errAENoSuchObject = -1728,
    errAEUnknownObjectType = -1731,
    errAEBuildSyntaxError = -1740,
    errAEEventFailed = -10000,
    errAETypeError = -10001,
    errAEBadKeyForm = -10002,
    errAENotModifiable = -10003,
    errAEWriteDenied = -10006,
    errAENotAnElement = -10008,
    errAECantHandleClass = -10010,
};
