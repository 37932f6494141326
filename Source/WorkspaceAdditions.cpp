#include "Source/WorkspaceAdditions.h"

std::optional<NSRunningApplication> WorkspaceAdditions::runningApplicationWithIdentifier(
    std::string_view bundleIdentifier) {
    return RunningApplicationSource::shared()->runningApplicationWithBundleIdentifier(bundleIdentifier);
}

bool WorkspaceAdditions::applicationWithIdentifierRunning(std::string_view bundleIdentifier) {
    return runningApplicationWithIdentifier(bundleIdentifier).has_value();
}
