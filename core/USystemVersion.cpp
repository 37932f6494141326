#include "core/USystemVersion.h"

#include <atomic>
#include <cstring>

#include "platform/Carbon/MacTypes.h"

namespace {

// Bit N set: release 10.N or later. kDetermined marks flags that were worked out.
constexpr UInt32 kDetermined = 0x80000000;
constexpr int kNewestMinor = 10;

std::atomic<UInt32> gSystemFlags{0};

struct SystemRelease {
    const char* systemName;
    int minor;  // the newest 10.x release whose interfaces the layers offer there
};

constexpr SystemRelease kSystems[] = {
    {"Linux", kNewestMinor},
};

bool OrLater(int minor) {
    if (!(gSystemFlags.load(std::memory_order_acquire) & kDetermined)) DetermineOSParams();
    return gSystemFlags.load(std::memory_order_acquire) & (UInt32{1} << minor);
}

}  // namespace

void DetermineOSParams() {
    utsname system{};
    if (uname(&system) != 0) system.sysname[0] = '\0';
    DetermineOSParams(system);
}

void DetermineOSParams(const utsname& system) {
    UInt32 flags = kDetermined;
    for (const SystemRelease& known : kSystems)
        if (std::strcmp(system.sysname, known.systemName) == 0)
            for (int minor = 0; minor <= known.minor; ++minor) flags |= UInt32{1} << minor;
    gSystemFlags.store(flags, std::memory_order_release);
}

bool OSXORLATER() {
    return OrLater(0);
}
bool PUMAORLATER() {
    return OrLater(1);
}
bool JAGUARORLATER() {
    return OrLater(2);
}
bool PANTHERORLATER() {
    return OrLater(3);
}
bool TIGERORLATER() {
    return OrLater(4);
}
bool LEOPARDORLATER() {
    return OrLater(5);
}
bool SNOWLEOPARDORLATER() {
    return OrLater(6);
}
bool LIONORLATER() {
    return OrLater(7);
}
bool MOUNTAINLIONORLATER() {
    return OrLater(8);
}
bool MAVERICKSORLATER() {
    return OrLater(9);
}
bool YOSEMITEORLATER() {
    return OrLater(kNewestMinor);
}
