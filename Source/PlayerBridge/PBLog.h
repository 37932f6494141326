// The bridge's two diagnostic channels: the discarding sink most texts go to, and the system log
// that receives the few that must be seen.
#pragma once

#include <functional>
#include <string>

// Takes a format and any values and discards them all; keeps the bridge's diagnostics in the
// code without printing them.
template <typename... Args>
inline void NullLog(const char*, const Args&...) {}

// Writes one line to the system log (syslog, and standard error when syslog is not open).
// Main thread only, like the rest of the bridge.
void PBSystemLog(const std::string& text);

// Replaces where PBSystemLog writes for a scope, so tests can read the lines.
class ScopedPBSystemLogSink {
public:
    using Sink = std::function<void(const std::string&)>;
    explicit ScopedPBSystemLogSink(Sink sink);
    ~ScopedPBSystemLogSink();
    ScopedPBSystemLogSink(const ScopedPBSystemLogSink&) = delete;
    ScopedPBSystemLogSink& operator=(const ScopedPBSystemLogSink&) = delete;

private:
    Sink fPrevious;
};
