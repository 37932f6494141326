#include "ViewTestApplication.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace {

class ViewTestEnvironment : public ::testing::Environment {
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
    char mName[10] = "app_tests";
    char* mArgv[2] = {mName, nullptr};
    std::unique_ptr<QApplication> mApp;
};

ViewTestEnvironment* const gEnvironment =
    static_cast<ViewTestEnvironment*>(::testing::AddGlobalTestEnvironment(new ViewTestEnvironment));

}  // namespace

QApplication& viewTestApplication() {
    return gEnvironment->app();
}
