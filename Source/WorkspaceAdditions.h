// Finding running applications by bundle identifier.
#pragma once

#include <optional>
#include <string_view>

#include "platform/Foundation/RunningApplication.h"

// On the shared running-application source. Main thread.
class WorkspaceAdditions {
public:
    WorkspaceAdditions() = delete;

    // The first running application with the identifier, or nullopt.
    static std::optional<NSRunningApplication> runningApplicationWithIdentifier(
        std::string_view bundleIdentifier);
    static bool applicationWithIdentifierRunning(std::string_view bundleIdentifier);
};
