#include "Source/WorkspaceAdditions.h"

std::optional<NSRunningApplication> WorkspaceAdditions::runningApplicationWithIdentifier(
    std::string_view bundleIdentifier) {
    for (NSRunningApplication& app : RunningApplicationSource::shared()->runningApplications()) {
        if (app.bundleIdentifier == bundleIdentifier) return std::move(app);
    }
    return std::nullopt;
}

bool WorkspaceAdditions::applicationWithIdentifierRunning(std::string_view bundleIdentifier) {
    return runningApplicationWithIdentifier(bundleIdentifier).has_value();
}
