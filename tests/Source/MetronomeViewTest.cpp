#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <optional>
#include <string>

#include "Source/MetronomeView.h"
#include "ViewTestApplication.h"
#include "platform/AppKit/AnimationClock.h"
#include "platform/AppKit/ImageView.h"

namespace {

constexpr double kSwing = 25 * M_PI / 180;

// A metronome view on its own, with its settings in a table and the animations on a manual clock.
struct Metronome {
    explicit Metronome(std::map<std::string, long> settings = {})
        : settings(std::move(settings)), scoped((viewTestApplication(), clock)) {
        view = std::make_unique<MetronomeView>(NSMakeRect(0, 0, 36, 36), nullptr,
                                               [this](const std::string& key) -> std::optional<long> {
                                                   const auto found = this->settings.find(key);
                                                   if (found == this->settings.end()) return std::nullopt;
                                                   return found->second;
                                               });
    }
    CALayer& arm() { return view->pendulum().layer(); }
    const CABasicAnimation* swing() { return arm().animationForKey("rotateAnimation"); }

    std::map<std::string, long> settings;
    ManualAnimationClock clock;
    ScopedAnimationClock scoped;
    std::unique_ptr<MetronomeView> view;
};

}  // namespace

TEST(MetronomeViewBeats, BeatsOf120MillisecondsOrMoreSwingTheArmFromSideToSide) {
    Metronome m;
    m.view->animate(0.12);
    ASSERT_NE(m.swing(), nullptr);
    EXPECT_TRUE(m.view->isAnimating());
    EXPECT_FALSE(m.view->pendulum().isHidden());
    EXPECT_FLOAT_EQ(m.swing()->fromValue, kSwing) << "the first swing starts at the right extreme";
    EXPECT_FLOAT_EQ(m.swing()->toValue, -kSwing);
    EXPECT_DOUBLE_EQ(m.swing()->duration, 0.12);
    EXPECT_FALSE(m.swing()->removedOnCompletion);
    EXPECT_EQ(m.swing()->fillMode, CAFillMode::Both);
    EXPECT_EQ(m.arm().anchorPoint(), NSMakePoint(0.5, 0));
    EXPECT_EQ(m.arm().position(), NSMakePoint(18, 10));

    // Eased: still at the extreme at the start, upright at mid-beat, at the other extreme at its end.
    EXPECT_NEAR(m.arm().presentationRotation(), kSwing, 1e-6);
    m.clock.advance(0.06);
    EXPECT_NEAR(m.arm().presentationRotation(), 0, 1e-3);
    m.clock.advance(0.06);
    EXPECT_NEAR(m.arm().presentationRotation(), -kSwing, 1e-6);
    m.clock.advance(1.0);
    EXPECT_NEAR(m.arm().presentationRotation(), -kSwing, 1e-6) << "the arm waits at the extreme";

    m.view->animate(0.5);
    EXPECT_FLOAT_EQ(m.swing()->fromValue, -kSwing) << "the next swing goes back";
    EXPECT_FLOAT_EQ(m.swing()->toValue, kSwing);

    m.view->stopArm();
    EXPECT_FALSE(m.view->isAnimating());
    EXPECT_EQ(m.swing(), nullptr);
    EXPECT_DOUBLE_EQ(m.arm().presentationRotation(), 0);
}

TEST(MetronomeViewBeats, FasterBeatsHideTheArmAndFlipALineEveryBeat) {
    Metronome m;
    m.view->animate(0.5);
    m.view->animate(0.119);
    EXPECT_FALSE(m.view->isAnimating());
    EXPECT_TRUE(m.view->isToggling());
    EXPECT_TRUE(m.view->pendulum().isHidden());

    // The line runs from the pivot 26 points below the top to a tip 8 below it, 7 to one side.
    struct Side {
        const char* name;
        int x;
    };
    const Side left{"left", 14}, right{"right", 22};
    for (int beat = 0; beat < 2; ++beat) {
        const bool drawLeft = m.view->drawLeft();
        const QImage image = m.view->renderToImage();
        const Side& drawn = drawLeft ? left : right;
        const Side& other = drawLeft ? right : left;
        EXPECT_GT(pixelAt(image, drawn.x, 19).alpha(), 60) << "line on the " << drawn.name;
        EXPECT_EQ(pixelAt(image, other.x, 19).alpha(), 0) << "nothing on the " << other.name;
        EXPECT_TRUE(m.view->pendulum().isHidden()) << "drawing keeps the arm hidden";
        m.view->animate(0.05);
        EXPECT_NE(m.view->drawLeft(), drawLeft) << "beat " << beat << " flips the side";
    }
}

TEST(MetronomeViewBeats, DuringALiveResizeTheArmStandsUpright) {
    Metronome m;
    m.view->viewWillStartLiveResize();
    m.view->animate(0.5);
    EXPECT_EQ(m.swing(), nullptr);
    EXPECT_DOUBLE_EQ(m.arm().presentationRotation(), 0);
    m.view->viewDidEndLiveResize();
    m.view->animate(0.5);
    EXPECT_NE(m.swing(), nullptr) << "swings again after the resize";
}

TEST(MetronomeViewBeats, TheLEDFlashesAndFadesInAFifthOfASecond) {
    Metronome m({{"MetronomeStyle", MetronomeView::kLEDStyle}});
    m.view->animate(0.5);
    EXPECT_FALSE(m.view->ledOn().isHidden());
    EXPECT_FALSE(m.view->ledOff().isHidden());
    EXPECT_TRUE(m.view->pendulum().isHidden());
    EXPECT_EQ(m.swing(), nullptr);
    const CALayer& led = m.view->ledOn().layer();
    EXPECT_DOUBLE_EQ(led.presentationOpacity(), 1.0);
    m.clock.advance(0.1);
    EXPECT_NEAR(led.presentationOpacity(), 0.5, 1e-3);
    m.clock.advance(0.1);
    EXPECT_DOUBLE_EQ(led.presentationOpacity(), 0.0);
    m.view->animate(0.5);
    EXPECT_DOUBLE_EQ(led.presentationOpacity(), 1.0) << "each beat flashes anew";
}

TEST(MetronomeViewStyle, AChangedSettingSwapsPendulumAndLED) {
    Metronome m;
    m.view->renderToImage();
    EXPECT_FALSE(m.view->pendulum().isHidden()) << "an idle pendulum shows upright";

    m.settings["MetronomeStyle"] = MetronomeView::kLEDStyle;
    m.view->updateStyle();
    EXPECT_EQ(m.view->metronomeStyle(), MetronomeView::kLEDStyle);
    EXPECT_TRUE(m.view->pendulum().isHidden());
    m.view->renderToImage();
    EXPECT_FALSE(m.view->ledOff().isHidden()) << "the LED style shows the dark LED";
    EXPECT_TRUE(m.view->ledOn().isHidden());

    m.settings.erase("MetronomeStyle");
    m.view->updateStyle();
    EXPECT_EQ(m.view->metronomeStyle(), MetronomeView::kLEDStyle) << "an absent setting changes nothing";

    m.settings["MetronomeStyle"] = MetronomeView::kPendulumStyle;
    m.view->updateStyle();
    EXPECT_EQ(m.view->metronomeStyle(), MetronomeView::kPendulumStyle);
    EXPECT_TRUE(m.view->ledOff().isHidden());
    EXPECT_FALSE(m.view->pendulum().isHidden());
}
