#include "tests/support/TestApplication.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

class ApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override { app(); }
    void TearDown() override { mApp.reset(); }

    QApplication& app() {
        if (!mApp) {
            setenv("QT_QPA_PLATFORM", "offscreen", 0);
            setenv("BEATWICK_RESOURCE_DIR", BEATWICK_RESOURCE_DIR, 0);
            mApp = std::make_unique<QApplication>(mArgc, mArgv);
        }
        return *mApp;
    }

private:
    int mArgc{1};
    std::string mName{program_invocation_short_name};
    char* mArgv[2] = {mName.data(), nullptr};
    std::unique_ptr<QApplication> mApp;
};

ApplicationEnvironment* const gEnvironment =
    static_cast<ApplicationEnvironment*>(::testing::AddGlobalTestEnvironment(new ApplicationEnvironment));

}  // namespace

QApplication& testApplication() {
    return gEnvironment->app();
}
