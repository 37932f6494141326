#include "network/CSocketErrorLog.h"

namespace {

const char* LevelName(loglevel_t level) {
    static constexpr const char* kNames[] = {"Warning", "Error", "Fatal"};
    const int index = static_cast<int>(level);
    return index >= 0 && index < 3 ? kNames[index] : "Unknown";
}

}  // namespace

void CSocketErrorLog::error(ISocketHandler*, Socket*, const std::string& operation, int err,
                            const std::string& text, loglevel_t level) {
    if (level == LOG_LEVEL_INFO) return;
    if (operation == "shutdown" || operation == "Socket::Close") return;
    fError = err;
    fOperation = operation;
    fText = text;
    fLevel = LevelName(level);
    fHasError = true;
}

void CSocketErrorLog::Reset() {
    fError = 0;
    fHasError = false;
}

void CSocketErrorLog::ThrowSocketError(int, bool reset) {
    if (reset) Reset();
}
