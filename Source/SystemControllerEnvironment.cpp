#include "Source/SystemControllerEnvironment.h"

#include <ctime>

#include "Source/DirectoryLocations.h"
#include "Source/UKSound.h"
#include "platform/AppKit/Application.h"
#include "platform/AppleEvents/AEBuild.h"
#include "platform/AppleEvents/AEDataModel.h"
#include "platform/AppleEvents/AESend.h"
#include "platform/AudioToolbox/NSSound.h"

bool SystemControllerEnvironment::launchPlayerWithPlayEvent() {
    return false;
}

bool SystemControllerEnvironment::probePlayer(pid_t processIdentifier, UInt32 ticks) {
    AppleEvent event;
    const SInt32 pid = processIdentifier;
    OSStatus status = AEBuildAppleEvent(
        fourCC("core"), fourCC("getd"), typeKernelProcessID, &pid, sizeof pid, kAutoGenerateReturnID, 0,
        &event, nullptr, "'----':obj { form:prop, want:type(prop), seld:type(pPos), from:'null'() }");
    if (status != noErr) return true;  // a probe that cannot be built proves nothing
    AppleEvent reply;
    return AESendMessage(&event, &reply, kAEWaitReply | kAENeverInteract, static_cast<long>(ticks)) == noErr;
}

void SystemControllerEnvironment::observePlayerInfo(std::function<void(const NSNotification&)> observer) {
    mPlayerInfoObserver = std::move(observer);
}

void SystemControllerEnvironment::stopObservingPlayerInfo() {
    mPlayerInfoObserver = nullptr;
}

void SystemControllerEnvironment::observeWorkspace(std::function<void(const NSRunningApplication&)>,
                                                   std::function<void(const NSRunningApplication&)>) {}

std::optional<NSRunningApplication> SystemControllerEnvironment::activeApplication() {
    return std::nullopt;
}

SInt64 SystemControllerEnvironment::currentDate() {
    constexpr SInt64 kSecondsFrom1970To2001 = 978307200;
    return static_cast<SInt64>(std::time(nullptr)) - kSecondsFrom1970To2001;
}

UInt32 SystemControllerEnvironment::currentModifierFlags() {
    return Application::sharedApplication().currentModifierFlags();
}

void SystemControllerEnvironment::checkVersion() {}

std::shared_ptr<UKSound> SystemControllerEnvironment::makeUKSound(const std::string& path) {
    UKSound::Context context;
    context.post = [](const std::string& name) {
        NSNotificationCenter::defaultCenter().postNotificationName(name);
    };
    return std::make_shared<UKSound>("file://" + path, context);
}

std::shared_ptr<NSSound> SystemControllerEnvironment::makeNSSound(const std::string& path) {
    return NSSound::createWithContentsOfFile(path, false);
}

std::optional<std::string> SystemControllerEnvironment::applicationSupportDirectory() {
    return DirectoryLocations().applicationSupportDirectory();
}
