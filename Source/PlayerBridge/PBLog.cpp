#include "Source/PlayerBridge/PBLog.h"

#include <syslog.h>

#include <utility>

namespace {

ScopedPBSystemLogSink::Sink& sink() {
    static ScopedPBSystemLogSink::Sink current;
    return current;
}

}  // namespace

void PBSystemLog(const std::string& text) {
    if (sink()) {
        sink()(text);
        return;
    }
    syslog(LOG_USER | LOG_NOTICE | LOG_PERROR, "%s", text.c_str());
}

ScopedPBSystemLogSink::ScopedPBSystemLogSink(Sink replacement) : fPrevious(std::move(sink())) {
    sink() = std::move(replacement);
}

ScopedPBSystemLogSink::~ScopedPBSystemLogSink() {
    sink() = std::move(fPrevious);
}
