// A player stand-in of the tests' own on the in-process transport: it records every event it
// is handed and answers with what the test sets, on a tick clock the tests drive.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Source/PlayerBridge/PlayerBridge.h"
#include "Source/PlayerBridge/PlayerLocator.h"
#include "platform/AppleEvents/AppleEvent.h"
#include "platform/AppleEvents/InProcessTransport.h"
#include "platform/Carbon/TickClock.h"
#include "tests/platform/AppleEvents/TreeHelpers.h"

namespace bridgetest {

constexpr SInt32 kPlayerPID = 4242;

// A 'vers' record with the given short version string and an empty long one.
inline AEDesc versionRecord(const std::string& shortVersion) {
    std::string bytes("\x07\x21\x80\x00\x00\x00", 6);
    bytes += static_cast<char>(shortVersion.size());
    bytes += shortVersion;
    bytes += '\0';
    return trees::bytes("vers", bytes);
}

// The object specifier of a property of an object, as the player reads it.
inline OSType requestedProperty(const AppleEvent& event) {
    AEDesc specifier;
    OSType property = 0;
    if (AEGetParamDesc(&event, keyDirectObject, typeWildCard, &specifier) != noErr) return 0;
    AEGetKeyPtr(&specifier, keyAEKeyData, typeType, nullptr, &property, sizeof property, nullptr);
    return property;
}

inline bool isGetData(const AppleEvent& event) {
    return event.event()->eventClass == kCoreEventClass && event.event()->eventID == kAEGetData;
}

class BridgeTest : public ::testing::Test {
protected:
    using Answer = std::function<OSStatus(const AppleEvent& event, AppleEvent& reply)>;

    void SetUp() override {
        PlayerBridge::forgetCachedVersion();
        startPlayer(kPlayerPID);
    }
    void TearDown() override { PlayerBridge::forgetCachedVersion(); }

    // Registers the player under a process id and makes the look-up find it there.
    void startPlayer(SInt32 pid) {
        fPID = pid;
        fTransport->addHandler(pid, PBAppleEventObject::iTunesSignature,
                               [this](const AppleEvent& event, AppleEvent& reply) {
                                   fEvents.push_back(event.clone());
                                   return fAnswer ? fAnswer(event, reply) : OSStatus{noErr};
                               });
    }
    void quitPlayer() {
        fTransport->removeApplication(fPID);
        fPID = 0;
    }

    // Answers 'vers' of the application with the given version, everything else with `other`.
    void answerVersion(const std::string& version, Answer other = {}) {
        fAnswer = [version, other](const AppleEvent& event, AppleEvent& reply) -> OSStatus {
            if (isGetData(event) && requestedProperty(event) == typeVersion) {
                const AEDesc vers = versionRecord(version);
                return AEPutParamDesc(&reply, keyDirectObject, &vers);
            }
            return other ? other(event, reply) : OSStatus{noErr};
        };
    }
    // Answers every event with this direct parameter.
    void answerDirect(AEDesc value) {
        auto shared = std::make_shared<AEDesc>(std::move(value));
        fAnswer = [shared](const AppleEvent&, AppleEvent& reply) -> OSStatus {
            return AEPutParamDesc(&reply, keyDirectObject, shared.get());
        };
    }

    // The parameters of the last event the player was handed, as a plain record.
    AEDesc lastParameters() const {
        AEDesc result = AEDesc::makeRecord();
        if (fEvents.empty()) return result;
        const AppleEvent& event = fEvents.back();
        for (size_t i = 0; i < event.count(); ++i) result.put(event.keyAt(i), event.at(i).clone());
        return result;
    }

    ManualTickSource fClock;
    ScopedTickSource fScopedClock{fClock};
    std::shared_ptr<InProcessTransport> fTransport = std::make_shared<InProcessTransport>(&fClock);
    ScopedAETransport fScopedTransport{fTransport};
    SInt32 fPID{0};
    ScopedPlayerProcessLookup fLookup{[this] { return fPID; }};
    Answer fAnswer;
    std::vector<AppleEvent> fEvents;
};

// A track specifier of the kind the player hands out.
inline AEDesc trackSpecifier(SInt32 id = 77) {
    using namespace trees;
    return record("obj ", field("form", enumCode("ID  ")), field("want", typed("type", "cTrk")),
                  field("seld", slong(id)), field("from", empty("null")));
}

inline AEDesc playlistSpecifier(SInt64 id) {
    using namespace trees;
    return record("obj ", field("form", enumCode("ID  ")), field("want", typed("type", "cPly")),
                  field("seld", comp(id)), field("from", empty("null")));
}

}  // namespace bridgetest
