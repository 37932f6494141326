#include "core/UDebugging.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

std::string FromPString(ConstStr255Param text) {
    return text ? std::string(reinterpret_cast<const char*>(text + 1), text[0]) : std::string();
}

bool DebuggerAttached() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("TracerPid:", 0) == 0) return std::strtol(line.c_str() + 10, nullptr, 10) != 0;
    return false;
}

void Signal(const std::string& message, const std::string& file, long line) {
    std::string text = "Signal: " + message;
    if (!file.empty()) text += " (" + file + ", line " + std::to_string(line) + ")";
    text += "\n";
    // One write, so that signals of two threads do not interleave.
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
    if (DebuggerAttached()) std::raise(SIGTRAP);
}

}  // namespace

namespace UDebugging {

void AlertSignalAt(const char* message) {
    Signal(message ? message : "", {}, 0);
}

void AlertSignalAt(ConstStr255Param message) {
    Signal(FromPString(message), {}, 0);
}

void AlertSignalAt(const char* message, const char* file, long line) {
    Signal(message ? message : "", file ? file : "", line);
}

void AlertSignalAt(ConstStr255Param message, ConstStr255Param file, long line) {
    Signal(FromPString(message), FromPString(file), line);
}

}  // namespace UDebugging
