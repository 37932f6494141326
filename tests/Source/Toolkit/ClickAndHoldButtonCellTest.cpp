#include <gtest/gtest.h>

#include <QTest>

#include "Source/Toolkit/ClickAndHoldButtonCell.h"
#include "platform/Foundation/VirtualScheduler.h"
#include "tests/Source/ViewTestApplication.h"

namespace {
using Log = std::vector<std::string>;

struct HeldButton {
    VirtualScheduler scheduler;
    ScopedScheduler scoped{scheduler};
    ClickAndHoldButtonCell button{NSMakeRect(0, 0, 28, 28), nullptr};
    Log log;

    HeldButton() {
        viewTestApplication();
        button.resize(28, 28);
        button.action = [this] { log.push_back("click"); };
        button.mouseDownAction = [this] { log.push_back("hold"); };
        button.mouseUpAction = [this] { log.push_back("release"); };
    }
    void press() { QTest::mousePress(&button, Qt::LeftButton, Qt::NoModifier, QPoint(14, 14)); }
    void release(QPoint at = {14, 14}) { QTest::mouseRelease(&button, Qt::LeftButton, Qt::NoModifier, at); }
    void drag(QPoint to) {
        QMouseEvent move(QEvent::MouseMove, QPointF(to), button.mapToGlobal(QPointF(to)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&button, &move);
    }
};
}  // namespace

TEST(ClickAndHoldButtonCell, HoldTimingOnVirtualTime) {
    const struct {
        const char* name;
        int64_t heldMs;
        Log duringHold;
        Log afterRelease;
    } cases[] = {
        {"quick click", 0, {}, {"click"}},
        {"0.39 s is still a click", 390, {}, {"click"}},
        {"0.4 s is a hold", 400, {"hold"}, {"hold", "release"}},
        {"a long hold sends the hold once", 5000, {"hold"}, {"hold", "release"}},
    };
    for (const auto& k : cases) {
        HeldButton b;
        b.press();
        b.scheduler.advance(k.heldMs);
        EXPECT_EQ(b.log, k.duringHold) << k.name;
        b.release();
        EXPECT_EQ(b.log, k.afterRelease) << k.name;
        EXPECT_EQ(b.scheduler.scheduledCount(), 0u) << k.name << ": no timer left once released";
        EXPECT_FALSE(b.button.hasDownMouseDownAction()) << k.name;
        EXPECT_FALSE(b.button.isHighlighted()) << k.name;
    }
}

TEST(ClickAndHoldButtonCell, MovesAndLeavingTheButton) {
    {
        HeldButton b;
        b.press();
        b.scheduler.advance(300);
        b.drag({16, 14});
        b.scheduler.advance(300);
        EXPECT_TRUE(b.log.empty()) << "a move starts the 0.4 s wait again";
        b.scheduler.advance(100);
        EXPECT_EQ(b.log, Log{"hold"});
    }
    {
        HeldButton b;
        b.press();
        b.scheduler.advance(400);
        b.drag({60, 14});
        EXPECT_EQ(b.log, (Log{"hold", "release"})) << "leaving ends the hold at once";
        b.release({60, 14});
        b.scheduler.advance(1000);
        EXPECT_EQ(b.log, (Log{"hold", "release"})) << "nothing more on the release";
    }
    {
        HeldButton b;
        b.press();
        b.drag({60, 14});
        b.release({60, 14});
        b.scheduler.advance(1000);
        EXPECT_TRUE(b.log.empty()) << "a click released outside sends nothing";
    }
    {
        HeldButton b;
        b.button.setEnabled(false);
        b.press();
        b.scheduler.advance(1000);
        b.release();
        EXPECT_TRUE(b.log.empty()) << "disabled";
        EXPECT_EQ(b.scheduler.scheduledCount(), 0u);
    }
}
