#include <gtest/gtest.h>

#include <QTest>
#include <QWheelEvent>

#include "Source/Toolkit/TexturedSlider.h"
#include "platform/AppKit/Button.h"
#include "tests/Source/ViewTestApplication.h"

namespace {
struct SliderInRow {
    View row{NSMakeRect(0, 0, 420, 60), nullptr};
    TexturedSlider* slider;
    int actions{0};

    SliderInRow() {
        viewTestApplication();
        row.resize(420, 60);
        slider = new TexturedSlider(&row);
        slider->setMinValue(0);
        slider->setMaxValue(100);
        slider->setFrame(NSMakeRect(35, 2, 150, 20));
        slider->action = [this] { ++actions; };
        row.show();  // frame changes reach a shown slider at once
    }
    // The bar's rectangle in the row.
    NSRect barInRow() const {
        const NSRect bar = slider->barRect();
        const NSRect f = slider->frame();
        return NSMakeRect(f.origin.x + bar.origin.x, f.origin.y + bar.origin.y, bar.size.width,
                          bar.size.height);
    }
};
}  // namespace

TEST(TexturedSlider, SpeakerIndicatorWidensTheFrameAndKeepsTheBar) {
    SliderInRow s;
    const NSRect bar = s.barInRow();
    s.slider->setIndicatorIndex(TexturedSlider::kSpeakerIndicator);
    EXPECT_EQ(s.slider->frame(), NSMakeRect(10, 2, 200, 20)) << "50 wider, 25 further left";
    EXPECT_EQ(s.barInRow(), bar) << "the bar stays where it was";
    ASSERT_NE(s.slider->minButton(), nullptr);
    ASSERT_NE(s.slider->maxButton(), nullptr);
    // 4 below the top; the 16-wide quiet speaker ends where the bar begins.
    EXPECT_EQ(s.slider->minButton()->frame(), NSMakeRect(9, 0, 16, 16));
    EXPECT_EQ(s.slider->maxButton()->frame(), NSMakeRect(175, 0, 16, 16));
    EXPECT_LE(NSMaxX(s.slider->frame()), 420) << "inside the window";

    s.slider->setIndicatorIndex(TexturedSlider::kSpeakerIndicator);
    EXPECT_EQ(s.slider->frame(), NSMakeRect(10, 2, 200, 20)) << "set again: no second widening";
    s.slider->setFrameSize({300, 20});
    EXPECT_EQ(s.slider->maxButton()->frame().origin.x, 275) << "placed again when the frame changes";
    EXPECT_EQ(s.slider->barRect(), NSMakeRect(25, 0, 250, 20));

    s.slider->setFrameSize({200, 20});
    s.slider->setIndicatorIndex(TexturedSlider::kNoIndicator);
    EXPECT_EQ(s.slider->frame(), NSMakeRect(35, 2, 150, 20)) << "narrowed back";
    EXPECT_EQ(s.slider->minButton(), nullptr);
    EXPECT_EQ(s.slider->maxButton(), nullptr);
    EXPECT_EQ(s.barInRow(), bar);
}

TEST(TexturedSlider, SpeakerButtonsJumpToTheEndsAndFollowEnabled) {
    SliderInRow s;
    s.slider->setIndicatorIndex(TexturedSlider::kSpeakerIndicator);
    s.slider->setIntValue(40);
    QTest::mouseClick(s.slider->maxButton(), Qt::LeftButton, Qt::NoModifier, QPoint(8, 8));
    EXPECT_EQ(s.slider->intValue(), 100);
    QTest::mouseClick(s.slider->minButton(), Qt::LeftButton, Qt::NoModifier, QPoint(8, 8));
    EXPECT_EQ(s.slider->intValue(), 0);
    EXPECT_EQ(s.actions, 2) << "each sends the slider's action";

    s.slider->setEnabled(false);
    EXPECT_FALSE(s.slider->minButton()->isEnabled());
    EXPECT_FALSE(s.slider->maxButton()->isEnabled());
    QTest::mouseClick(s.slider->maxButton(), Qt::LeftButton, Qt::NoModifier, QPoint(8, 8));
    EXPECT_EQ(s.slider->intValue(), 0);
    s.slider->setEnabled(true);
    EXPECT_TRUE(s.slider->maxButton()->isEnabled());
}

TEST(TexturedSlider, DrawsBarKnobAndSpeakers) {
    SliderInRow s;
    s.slider->setIndicatorIndex(TexturedSlider::kSpeakerIndicator);
    s.slider->setIntValue(0);
    const NSRect buttonsBefore = s.slider->maxButton()->frame();
    QImage image = s.slider->renderToImage();
    EXPECT_EQ(s.slider->maxButton()->frame(), buttonsBefore) << "drawing places nothing";

    const NSRect track = s.slider->trackRect();
    EXPECT_EQ(track, NSMakeRect(30, 7, 141, 6)) << "5 in from the cell, the fill image's height, centred";
    const int midY = static_cast<int>(NSMidY(track));
    EXPECT_LT(pixelAt(image, 120, midY).red(), 40) << "the dark bar";
    EXPECT_EQ(pixelAt(image, 120, 16).alpha(), 0) << "above the bar";
    const NSRect knob = s.slider->knobRect();
    EXPECT_EQ(knob.origin.x, 25) << "at the minimum, the knob starts at the cell";
    EXPECT_GT(pixelAt(image, static_cast<int>(NSMidX(knob)), 10).red(), 150) << "the light knob";
    // Dark on the window's light bottom row.
    for (const auto& [x, name] : {std::pair{12, "the quiet speaker"}, std::pair{178, "the loud speaker"}}) {
        EXPECT_EQ(pixelAt(image, x, 8).alpha(), 255) << name;
        EXPECT_LT(pixelAt(image, x, 8).red(), 90) << name;
    }

    s.slider->setEnabled(false);
    image = s.slider->renderToImage();
    EXPECT_LT(pixelAt(image, 120, midY).alpha(), 200) << "a disabled bar is drawn at half opacity";

    s.slider->setEnabled(true);
    s.slider->setTrackHeight(1);
    EXPECT_EQ(s.slider->trackRect().size.height, 7);
}

TEST(TexturedSlider, ScrollWheelMovesByPointsOfTheFrame) {
    SliderInRow s;
    s.slider->setIndicatorIndex(TexturedSlider::kSpeakerIndicator);  // 200 wide
    s.slider->setIntValue(50);
    QWheelEvent up(QPointF(100, 10), s.slider->mapToGlobal(QPointF(100, 10)), QPoint(), QPoint(0, 120 * 4),
                   Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(s.slider, &up);
    EXPECT_DOUBLE_EQ(s.slider->doubleValue(), 52.0) << "4 points of 200 is 2 of 100";
    EXPECT_EQ(s.actions, 1);
    QWheelEvent right(QPointF(100, 10), s.slider->mapToGlobal(QPointF(100, 10)), QPoint(),
                      QPoint(120 * 400, 0), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(s.slider, &right);
    EXPECT_DOUBLE_EQ(s.slider->doubleValue(), 0.0) << "clamped at the minimum";
}
