#include <gtest/gtest.h>

#include <memory>

#include "platform/AppleEvents/AEBuild.h"
#include "platform/AppleEvents/AEFlatten.h"
#include "platform/AppleEvents/AEPrint.h"
#include "platform/AppleEvents/AESend.h"
#include "platform/AppleEvents/AppleEvent.h"
#include "platform/AppleEvents/InProcessTransport.h"
#include "platform/Carbon/TickClock.h"

namespace {

constexpr SInt32 kPlayerPID = 4242;
constexpr OSType kPlayerSignature = fourCC("hook");

// A player that answers every event with the position 37 and counts what it was handed.
class SendTest : public ::testing::Test {
protected:
    void SetUp() override {
        fTransport->addHandler(
            kPlayerPID, kPlayerSignature, [this](const AppleEvent& event, AppleEvent& reply) {
                ++fHandled;
                fLastEvent = event.clone();
                const SInt32 position = 37;
                return AEPutParamPtr(&reply, keyDirectObject, typeSInt32, &position, sizeof position);
            });
    }

    AppleEvent probe(DescType addressType = typeKernelProcessID, UInt32 address = kPlayerPID) {
        AEDesc null;
        AppleEvent event;
        EXPECT_EQ(
            AEBuildAppleEvent(kCoreEventClass, kAEGetData, addressType, &address, sizeof address,
                              kAutoGenerateReturnID, kAnyTransactionID, &event, nullptr,
                              "'----':obj { form:prop, want:type(prop), seld:type(pPos), from:@ }", &null),
            noErr);
        return event;
    }

    ManualTickSource fClock;
    ScopedTickSource fScopedClock{fClock};
    std::shared_ptr<InProcessTransport> fTransport = std::make_shared<InProcessTransport>(&fClock);
    ScopedAETransport fScopedTransport{fTransport};
    int fHandled = 0;
    AppleEvent fLastEvent;
};

}  // namespace

TEST_F(SendTest, SendModes) {
    struct Case {
        const char* name;
        AESendMode mode;
        OSStatus status;
        bool delivered;
        bool replied;
    };
    const Case cases[] = {
        {"wait for reply, never interact", 0x13, noErr, true, true},
        {"no reply", 0x01, noErr, true, false},
        {"no reply, never interact", 0x11, noErr, true, false},
        {"queue reply is not offered", 0x12, errAEUnknownSendMode, false, false},
        {"no reply mode at all", 0x10, errAEUnknownSendMode, false, false},
    };
    for (const Case& c : cases) {
        fHandled = 0;
        const AppleEvent event = probe();
        AppleEvent reply = probe();  // replaced by the send
        EXPECT_EQ(AESendMessage(&event, &reply, c.mode, 120), c.status) << c.name;
        EXPECT_EQ(fHandled, c.delivered ? 1 : 0) << c.name;
        SInt32 position = 0;
        EXPECT_EQ(AEGetParamPtr(&reply, keyDirectObject, typeSInt32, nullptr, &position, 4, nullptr),
                  c.replied ? OSStatus{noErr} : OSStatus{errAEWrongDataType})
            << c.name;
        if (c.replied) {
            EXPECT_EQ(position, 37) << c.name;
            EXPECT_EQ(reply.event()->eventID, kAEAnswer) << c.name;
            EXPECT_EQ(reply.event()->returnID, event.event()->returnID) << c.name;
        } else {
            EXPECT_EQ(reply.descriptorType, typeNull) << c.name;
        }
    }
}

TEST_F(SendTest, TimeOutsOnTheTickClock) {
    struct Case {
        const char* name;
        long timeout;
        UInt32 delay;
        bool drop;
        OSStatus status;
        UInt32 waited;  // ticks the sender spent
    };
    const Case cases[] = {
        {"119 ticks late within 2 seconds", 120, 119, false, noErr, 119},
        {"exactly on time", 120, 120, false, noErr, 120},
        {"121 ticks late", 120, 121, false, errAETimeout, 120},
        {"dropped reply", 120, 0, true, errAETimeout, 120},
        {"default is one minute: in time", kAEDefaultTimeout, 3600, false, noErr, 3600},
        {"default is one minute: late", kAEDefaultTimeout, 3601, false, errAETimeout, 3600},
        {"no time-out waits as long as it takes", kNoTimeOut, 100000, false, noErr, 100000},
    };
    for (const Case& c : cases) {
        fTransport->setReplyDelay(c.delay);
        fTransport->setDropReplies(c.drop);
        const UInt32 before = TickCount();
        const AppleEvent event = probe();
        AppleEvent reply;
        EXPECT_EQ(AESendMessage(&event, &reply, kAEWaitReply | kAENeverInteract, c.timeout), c.status)
            << c.name;
        EXPECT_EQ(TickCount() - before, c.waited) << c.name;
        EXPECT_EQ(reply.descriptorType, c.status == noErr ? typeAppleEvent : typeNull) << c.name;
    }
}

TEST_F(SendTest, TargetsAndTransportFailures) {
    AppleEvent reply;
    struct Case {
        const char* name;
        AppleEvent event;
        OSStatus status;
    };
    Case cases[] = {
        {"by process id", probe(typeKernelProcessID, kPlayerPID), noErr},
        {"by signature", probe(typeApplSignature, kPlayerSignature), noErr},
        {"a process that does not run", probe(typeKernelProcessID, 999), procNotFound},
        {"an unknown signature", probe(typeApplSignature, fourCC("nope")), procNotFound},
        {"an address of another kind", probe(fourCC("psn "), 1), errAEUnknownAddressType},
        {"not an event", AEDesc(), errAENotAppleEvent},
    };
    for (Case& c : cases) EXPECT_EQ(AESendMessage(&c.event, &reply, 0x13, 120), c.status) << c.name;

    fTransport->setFailure(connectionInvalid);
    const AppleEvent event = probe();
    EXPECT_EQ(AESendMessage(&event, &reply, 0x13, 120), connectionInvalid);
    EXPECT_EQ(AESendMessage(&event, nullptr, 0x11, -1), connectionInvalid);
    fTransport->setFailure(noErr);

    // The player quits and starts again under another process id.
    fTransport->removeApplication(kPlayerPID);
    EXPECT_EQ(AESendMessage(&event, &reply, 0x13, 120), procNotFound);
    fTransport->addHandler(5151, kPlayerSignature, [](const AppleEvent&, AppleEvent&) { return noErr; });
    const AppleEvent bySignature = probe(typeApplSignature, kPlayerSignature);
    EXPECT_EQ(AESendMessage(&bySignature, &reply, 0x13, 120), noErr);

    ScopedAETransport none(nullptr);
    EXPECT_EQ(AESendMessage(&bySignature, &reply, 0x13, 120), procNotFound);
}

TEST_F(SendTest, HandlerErrorsTravelInTheReply) {
    fTransport->addHandler(1, fourCC("errs"),
                           [](const AppleEvent&, AppleEvent&) { return errAENoSuchObject; });
    fTransport->addHandler(2, fourCC("errx"), [](const AppleEvent&, AppleEvent& reply) {
        const SInt32 own = -10000;
        AEPutParamPtr(&reply, keyErrorNumber, typeSInt32, &own, sizeof own);
        return errAENoSuchObject;
    });
    fTransport->addApplication(3, fourCC("junk"), [](const std::vector<uint8_t>&) {
        return std::vector<uint8_t>{'B', 'W', 'A', 'E', 1, 0};
    });
    struct Case {
        const char* name;
        UInt32 pid;
        OSStatus status;
        SInt32 errn;
    };
    const Case cases[] = {
        {"status becomes errn", 1, noErr, errAENoSuchObject},
        {"the handler's own errn is kept", 2, noErr, -10000},
        {"an unreadable reply", 3, errAECorruptData, 0},
    };
    for (const Case& c : cases) {
        const AppleEvent event = probe(typeKernelProcessID, c.pid);
        AppleEvent reply;
        EXPECT_EQ(AESendMessage(&event, &reply, 0x13, 120), c.status) << c.name;
        SInt32 errn = 0;
        AEGetParamPtr(&reply, keyErrorNumber, typeSInt32, nullptr, &errn, sizeof errn, nullptr);
        EXPECT_EQ(errn, c.errn) << c.name;
        EXPECT_EQ(reply.find(keyDirectObject), nullptr) << c.name;
    }

    // Bytes that are no event get an error reply without reaching the handler.
    AppleEvent answer;
    ASSERT_EQ(AEUnflatten(AEAnswerFlattenedEvent({1, 2, 3},
                                                 [this](const AppleEvent&, AppleEvent&) {
                                                     ++fHandled;
                                                     return noErr;
                                                 }),
                          &answer),
              noErr);
    SInt32 errn = 0;
    EXPECT_EQ(AEGetParamPtr(&answer, keyErrorNumber, typeSInt32, nullptr, &errn, sizeof errn, nullptr),
              noErr);
    EXPECT_EQ(errn, errAECorruptData);
    EXPECT_EQ(fHandled, 0);
}

TEST_F(SendTest, EveryDeliveryIsLoggedAsItWasSent) {
    const AppleEvent event = probe();
    AppleEvent reply;
    AESendMessage(&event, &reply, 0x13, 120);
    const AppleEvent command = probe(typeApplSignature, kPlayerSignature);
    AESendMessage(&command, nullptr, 0x11, kAEDefaultTimeout);
    fTransport->setReplyDelay(121);
    AESendMessage(&event, &reply, 0x13, 120);

    const std::vector<AELogEntry> log = fTransport->log().entries();
    ASSERT_EQ(log.size(), 3u);
    const char* print =
        "'core'\\'getd'{'----':'obj '{'form':'prop', 'want':'type'('prop'), 'seld':'type'('pPos'), "
        "'from':'null'()}}";
    EXPECT_EQ(log[0].event, print);
    EXPECT_EQ(log[0].mode, 0x13);
    EXPECT_EQ(log[0].timeout, 120);
    EXPECT_EQ(log[0].target, (AETarget{typeKernelProcessID, kPlayerPID}));
    EXPECT_EQ(log[0].result, noErr);
    EXPECT_EQ(log[1].mode, 0x11);
    EXPECT_EQ(log[1].timeout, kAEDefaultTimeout);
    EXPECT_EQ(log[1].target, (AETarget{typeApplSignature, kPlayerSignature}));
    EXPECT_EQ(log[2].result, errAETimeout);

    // The receiver sees the same mode and time-out in the event's attributes.
    SInt32 timeout = 0, mode = 0;
    EXPECT_EQ(AEGetAttributePtr(&fLastEvent, keyTimeoutAttr, typeSInt32, nullptr, &timeout, 4, nullptr),
              noErr);
    EXPECT_EQ(AEGetAttributePtr(&fLastEvent, keySendModeAttr, typeSInt32, nullptr, &mode, 4, nullptr), noErr);
    EXPECT_EQ(timeout, 120);
    EXPECT_EQ(mode, 0x13);
}
