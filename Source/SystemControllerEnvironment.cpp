#include "Source/SystemControllerEnvironment.h"

#include <QCoreApplication>
#include <ctime>
#include <filesystem>

#include "Source/DirectoryLocations.h"
#include "Source/UKSound.h"
#include "network/TVersionTask.h"
#include "platform/AppKit/Application.h"
#include "platform/AppleEvents/AEBuild.h"
#include "platform/AppleEvents/AEDataModel.h"
#include "platform/AppleEvents/AEFlatten.h"
#include "platform/AppleEvents/AESend.h"
#include "platform/AudioToolbox/NSSound.h"
#include "platform/Carbon/FileReference.h"
#include "platform/Foundation/DistributedNotificationCenter.h"
#include "platform/Foundation/Workspace.h"

namespace {

constexpr const char* kPlayerBundleIdentifier = "com.apple.iTunes";
constexpr const char* kPlayerInfoNotification = "com.apple.iTunes.playerInfo";

}  // namespace

SystemControllerEnvironment::~SystemControllerEnvironment() {
    stopObservingPlayerInfo();
    stopObservingWorkspace();
}

bool SystemControllerEnvironment::launchPlayerWithPlayEvent() {
    AppleEvent play;
    if (AEBuildAppleEvent(fourCC("hook"), fourCC("Play"), typeNull, nullptr, 0, kAutoGenerateReturnID, 0,
                          &play, nullptr, "") != noErr)
        return false;
    NSWorkspaceLaunchConfiguration configuration;
    configuration.appleEvent = AEFlattenEvent(play, kAENoReply, kAEDefaultTimeout);
    return NSWorkspace::sharedWorkspace().launchApplication(
        kPlayerBundleIdentifier, NSWorkspaceLaunchAsync | NSWorkspaceLaunchWithoutActivation, configuration);
}

void SystemControllerEnvironment::terminateApplication() {
    QCoreApplication::quit();
}

bool SystemControllerEnvironment::launchPlayer() {
    return NSWorkspace::sharedWorkspace().launchApplication(kPlayerBundleIdentifier, NSWorkspaceLaunchAsync,
                                                            NSWorkspaceLaunchConfiguration{});
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
    stopObservingPlayerInfo();
    fPlayerInfoToken = NSDistributedNotificationCenter::defaultCenter().addObserver(
        this, kPlayerInfoNotification, std::move(observer));
}

void SystemControllerEnvironment::stopObservingPlayerInfo() {
    if (!fPlayerInfoToken) return;
    NSDistributedNotificationCenter::defaultCenter().removeObserver(*fPlayerInfoToken);
    fPlayerInfoToken.reset();
}

void SystemControllerEnvironment::observeWorkspace(
    std::function<void(const NSRunningApplication&)> launched,
    std::function<void(const NSRunningApplication&)> terminated) {
    stopObservingWorkspace();
    NSNotificationCenter& center = NSWorkspace::sharedWorkspace().notificationCenter();
    fWorkspaceObserved = true;
    auto forward = [](std::function<void(const NSRunningApplication&)> action) {
        return [action = std::move(action)](const NSNotification& notification) {
            if (auto application = NSWorkspace::applicationFromNotification(notification))
                action(*application);
        };
    };
    center.addObserver(this, NSWorkspaceDidLaunchApplicationNotification, nullptr,
                       forward(std::move(launched)));
    center.addObserver(this, NSWorkspaceDidTerminateApplicationNotification, nullptr,
                       forward(std::move(terminated)));
}

void SystemControllerEnvironment::stopObservingWorkspace() {
    if (!fWorkspaceObserved) return;
    NSWorkspace::sharedWorkspace().notificationCenter().removeObserver(this);
    fWorkspaceObserved = false;
}

std::optional<NSRunningApplication> SystemControllerEnvironment::activeApplication() {
    const std::optional<PropertyList::Dictionary> active = NSWorkspace::sharedWorkspace().activeApplication();
    if (!active) return std::nullopt;
    // The workspace's dictionary, read as a launch notice would carry it.
    NSNotification notice;
    notice.userInfo =
        PropertyList::Dictionary{{std::string(NSWorkspaceApplicationKey), PropertyList(*active)}};
    return NSWorkspace::applicationFromNotification(notice);
}

SInt64 SystemControllerEnvironment::currentDate() {
    constexpr SInt64 kSecondsFrom1970To2001 = 978307200;
    return static_cast<SInt64>(std::time(nullptr)) - kSecondsFrom1970To2001;
}

UInt32 SystemControllerEnvironment::currentModifierFlags() {
    return Application::sharedApplication().currentModifierFlags();
}

void SystemControllerEnvironment::checkVersion(bool userAsked) {
    TVersionTask::CheckVersion(userAsked, TVersionTask::kBeatwickVersionPage);
}

std::shared_ptr<UKSound> SystemControllerEnvironment::makeUKSound(const std::string& path) {
    UKSound::Context context;
    context.post = [](const std::string& name) {
        NSNotificationCenter::defaultCenter().postNotificationName(name);
    };
    // Escaped, so a path holding "%" or a space names the same file once the URL is read back.
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return std::make_shared<UKSound>(FileURLFromPath(error ? path : absolute.string()), context);
}

std::shared_ptr<NSSound> SystemControllerEnvironment::makeNSSound(const std::string& path) {
    return NSSound::createWithContentsOfFile(path, false);
}

std::optional<std::string> SystemControllerEnvironment::applicationSupportDirectory() {
    return DirectoryLocations().applicationSupportDirectory();
}
