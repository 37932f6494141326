#include "sockets/StdoutLog.h"

#include <array>

#include "sockets/Socket.h"

namespace {

constexpr std::array<const char*, 4> kLevelNames{"Warning", "Error", "Fatal", "Info"};

const char* LevelName(loglevel_t level) {
    const auto index = static_cast<size_t>(level);
    return index < kLevelNames.size() ? kLevelNames[index] : "";
}

}  // namespace

StdoutLog::StdoutLog(FILE* out, std::function<std::time_t()> now) : m_out(out), m_now(std::move(now)) {}

void StdoutLog::error(ISocketHandler*, Socket* socket, const std::string& user_text, int err,
                      const std::string& sys_text, loglevel_t level) {
    const std::time_t t = m_now ? m_now() : std::time(nullptr);
    struct tm when {};
    localtime_r(&t, &when);
    if (socket) {
        std::fprintf(m_out, "%d-%02d-%02d %02d:%02d:%02d :: fd %d :: %s: %d %s (%s)\n", when.tm_year + 1900,
                     when.tm_mon + 1, when.tm_mday, when.tm_hour, when.tm_min, when.tm_sec,
                     socket->GetSocket(), user_text.c_str(), err, sys_text.c_str(), LevelName(level));
    } else {
        std::fprintf(m_out, "%d-%02d-%02d %02d:%02d:%02d :: %s: %d %s (%s)\n", when.tm_year + 1900,
                     when.tm_mon + 1, when.tm_mday, when.tm_hour, when.tm_min, when.tm_sec, user_text.c_str(),
                     err, sys_text.c_str(), LevelName(level));
    }
}
