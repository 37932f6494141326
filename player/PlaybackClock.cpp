#include "player/PlaybackClock.h"

#include <chrono>

namespace player {

int64_t SteadyPlaybackClock::milliseconds() const {
    using namespace std::chrono;
    return duration_cast<std::chrono::milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace player
