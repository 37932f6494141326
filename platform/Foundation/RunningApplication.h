// Running applications: what is known of each, and the replaceable source that lists them.
#pragma once

#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Options of activateWithOptions.
constexpr unsigned NSApplicationActivateAllWindows = 1u << 0;
constexpr unsigned NSApplicationActivateIgnoringOtherApps = 1u << 1;

// One running application, as the source saw it when it was listed.
struct NSRunningApplication {
    std::string bundleIdentifier;  // empty when the application has none
    pid_t processIdentifier{0};
    std::string localizedName;

    bool operator==(const NSRunningApplication&) const = default;

    // Through the shared source; false when the application could not be asked.
    bool activateWithOptions(unsigned options) const;
    bool terminate() const;

    static std::optional<NSRunningApplication> runningApplicationWithProcessIdentifier(pid_t pid);
};

// Lists the running applications and acts on them. The shared instance lists nothing until a
// real source is installed.
class RunningApplicationSource {
public:
    virtual ~RunningApplicationSource() = default;

    virtual std::vector<NSRunningApplication> runningApplications() const = 0;
    // The first running application with the identifier; a source may answer it without
    // listing them all.
    virtual std::optional<NSRunningApplication> runningApplicationWithBundleIdentifier(
        std::string_view bundleIdentifier) const;
    virtual bool activate(const NSRunningApplication& application, unsigned options) = 0;
    virtual bool terminate(const NSRunningApplication& application) = 0;

    // May be called from any thread.
    static std::shared_ptr<RunningApplicationSource> shared();
    // Installs a source (nullptr restores the empty one) and answers the previous one.
    static std::shared_ptr<RunningApplicationSource> setShared(
        std::shared_ptr<RunningApplicationSource> source);
};

// Installs a source for its scope and restores the previous one; meant for tests.
class ScopedRunningApplicationSource {
public:
    explicit ScopedRunningApplicationSource(std::shared_ptr<RunningApplicationSource> source)
        : mPrevious(RunningApplicationSource::setShared(std::move(source))) {}
    ~ScopedRunningApplicationSource() { RunningApplicationSource::setShared(std::move(mPrevious)); }
    ScopedRunningApplicationSource(const ScopedRunningApplicationSource&) = delete;
    ScopedRunningApplicationSource& operator=(const ScopedRunningApplicationSource&) = delete;

private:
    std::shared_ptr<RunningApplicationSource> mPrevious;
};
