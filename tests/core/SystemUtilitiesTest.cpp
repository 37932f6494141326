#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/UDebugging.h"
#include "core/USystemVersion.h"

namespace {

utsname SystemNamed(const char* name) {
    utsname system{};
    std::strncpy(system.sysname, name, sizeof system.sysname - 1);
    return system;
}

}  // namespace

TEST(SystemVersion, EveryFlagOnLinuxNoneElsewhere) {
    bool (*const flags[])() = {OSXORLATER,          PUMAORLATER,      JAGUARORLATER,      PANTHERORLATER,
                               TIGERORLATER,        LEOPARDORLATER,   SNOWLEOPARDORLATER, LIONORLATER,
                               MOUNTAINLIONORLATER, MAVERICKSORLATER, YOSEMITEORLATER};
    for (const char* system : {"Linux", "SunOS", ""}) {
        DetermineOSParams(SystemNamed(system));
        const bool expected = std::strcmp(system, "Linux") == 0;
        for (size_t minor = 0; minor < std::size(flags); ++minor)
            EXPECT_EQ(flags[minor](), expected) << system << " 10." << minor;
    }
    DetermineOSParams();
    EXPECT_TRUE(YOSEMITEORLATER()) << "the system these tests run on";
}

TEST(Debugging, SignalsReportAndCarryOnWithoutADebugger) {
    testing::internal::CaptureStderr();
    UDebugging::AlertSignalAt("plain");
    UDebugging::AlertSignalAt("at", "Thing.cpp", 12);
    UDebugging::AlertSignalAt(reinterpret_cast<ConstStr255Param>("\x06pascal"),
                              reinterpret_cast<ConstStr255Param>("\x05P.cpp"), 7);
    UDebugging::AlertSignalAt(static_cast<const char*>(nullptr));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Signal: plain\nSignal: at (Thing.cpp, line 12)\nSignal: pascal (P.cpp, line 7)\nSignal: \n");
}
