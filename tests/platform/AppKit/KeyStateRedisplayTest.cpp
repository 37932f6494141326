#include <gtest/gtest.h>

#include <QApplication>

#include "platform/AppKit/KeyStateRedisplay.h"
#include "platform/AppKit/View.h"
#include "platform/AppKit/Window.h"
#include "tests/support/TestApplication.h"

namespace {

class CountingView : public View {
public:
    using View::View;
    void drawRect(const NSRect&) override { ++draws; }
    int draws{0};
};

// The draws one change of key state caused.
int drawsAfter(CountingView& view, void (Window::*signal)()) {
    QApplication::processEvents();
    const int before = view.draws;
    (view.enclosingWindow()->*signal)();
    QApplication::processEvents();
    return view.draws - before;
}

}  // namespace

TEST(KeyStateRedisplay, RedrawsTheViewWhenItsWindowBecomesOrStopsBeingKey) {
    testApplication();
    Window window(NSMakeSize(100, 60));
    auto* view = new CountingView(NSMakeRect(0, 0, 100, 60), window.contentView());
    KeyStateRedisplay redisplay;
    window.show();
    EXPECT_EQ(drawsAfter(*view, &Window::didBecomeKey), 0) << "before following";

    redisplay.follow(view);
    redisplay.follow(view);
    EXPECT_EQ(drawsAfter(*view, &Window::didBecomeKey), 1) << "became key";
    EXPECT_EQ(drawsAfter(*view, &Window::didResignKey), 1) << "resigned key";
}
