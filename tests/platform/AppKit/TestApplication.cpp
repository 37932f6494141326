#include "TestApplication.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace {

class ApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override { app(); }
    void TearDown() override { mApp.reset(); }

    QApplication& app() {
        if (!mApp) {
            setenv("QT_QPA_PLATFORM", "offscreen", 0);
            mApp = std::make_unique<QApplication>(mArgc, mArgv);
        }
        return *mApp;
    }

private:
    int mArgc{1};
    char mName[13] = "appkit_tests";
    char* mArgv[2] = {mName, nullptr};
    std::unique_ptr<QApplication> mApp;
};

ApplicationEnvironment* const gEnvironment =
    static_cast<ApplicationEnvironment*>(::testing::AddGlobalTestEnvironment(new ApplicationEnvironment));

}  // namespace

QApplication& testApplication() {
    return gEnvironment->app();
}
