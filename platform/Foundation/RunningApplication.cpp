#include "platform/Foundation/RunningApplication.h"

#include <mutex>

namespace {

class NoApplications : public RunningApplicationSource {
public:
    std::vector<NSRunningApplication> runningApplications() const override { return {}; }
    bool activate(const NSRunningApplication&, unsigned) override { return false; }
    bool terminate(const NSRunningApplication&) override { return false; }
};

std::mutex gSharedMutex;

std::shared_ptr<RunningApplicationSource>& sharedSlot() {
    static std::shared_ptr<RunningApplicationSource> source = std::make_shared<NoApplications>();
    return source;
}

}  // namespace

std::shared_ptr<RunningApplicationSource> RunningApplicationSource::shared() {
    std::lock_guard lock(gSharedMutex);
    return sharedSlot();
}

std::shared_ptr<RunningApplicationSource> RunningApplicationSource::setShared(
    std::shared_ptr<RunningApplicationSource> source) {
    if (!source) source = std::make_shared<NoApplications>();
    std::lock_guard lock(gSharedMutex);
    std::swap(sharedSlot(), source);
    return source;
}

bool NSRunningApplication::activateWithOptions(unsigned options) const {
    return RunningApplicationSource::shared()->activate(*this, options);
}

bool NSRunningApplication::terminate() const {
    return RunningApplicationSource::shared()->terminate(*this);
}

std::optional<NSRunningApplication> RunningApplicationSource::runningApplicationWithBundleIdentifier(
    std::string_view bundleIdentifier) const {
    for (NSRunningApplication& app : runningApplications())
        if (app.bundleIdentifier == bundleIdentifier) return std::move(app);
    return std::nullopt;
}

std::optional<NSRunningApplication> NSRunningApplication::runningApplicationWithProcessIdentifier(pid_t pid) {
    for (NSRunningApplication& app : RunningApplicationSource::shared()->runningApplications()) {
        if (app.processIdentifier == pid) return std::move(app);
    }
    return std::nullopt;
}
