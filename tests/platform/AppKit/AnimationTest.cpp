#include <gtest/gtest.h>

#include <QImage>
#include <cmath>

#include "platform/AppKit/AnimationClock.h"
#include "platform/AppKit/Image.h"
#include "platform/AppKit/ImageView.h"
#include "platform/AppKit/TimingFunction.h"
#include "tests/support/TestApplication.h"

TEST(TimingFunction, EaseInEaseOutIsTheCubicBezier) {
    const CAMediaTimingFunction ease = CAMediaTimingFunction::easeInEaseOut();
    struct Case {
        double t;
        double value;
    };
    // Reference values of the curve through (0.42, 0) and (0.58, 1).
    const Case cases[] = {{-1, 0},          {0, 0},     {0.1, 0.019722},
                          {0.25, 0.129162}, {0.5, 0.5}, {0.75, 0.870838},
                          {0.9, 0.980278},  {1, 1},     {2, 1}};
    for (const Case& c : cases) EXPECT_NEAR(ease.valueAt(c.t), c.value, 1e-5) << "t = " << c.t;
    EXPECT_NEAR(CAMediaTimingFunction::linear().valueAt(0.3), 0.3, 1e-9);
}

namespace {
constexpr double kDegree = M_PI / 180;
}

TEST(LayerAnimation, PendulumSwingsHoldsAndIsReplaced) {
    testApplication();
    ManualAnimationClock clock;
    ScopedAnimationClock scoped(clock);
    ImageView view;
    CALayer& layer = view.layer();
    auto swing = [](double from, double to) {
        CABasicAnimation a;
        a.keyPath = "transform.rotation.z";
        a.fromValue = from;
        a.toValue = to;
        a.duration = 0.5;
        a.removedOnCompletion = false;
        a.fillMode = CAFillMode::Both;
        a.timingFunction = CAMediaTimingFunction::easeInEaseOut();
        return a;
    };
    layer.addAnimation(swing(25 * kDegree, -25 * kDegree), "rotateAnimation");
    EXPECT_NEAR(layer.presentationRotation(), 25 * kDegree, 1e-9);
    clock.advance(0.125);
    EXPECT_NEAR(layer.presentationRotation(), (25 - 50 * 0.129162) * kDegree, 1e-5);
    clock.advance(0.125);
    EXPECT_NEAR(layer.presentationRotation(), 0, 1e-9);
    clock.advance(1.0);
    EXPECT_NEAR(layer.presentationRotation(), -25 * kDegree, 1e-9) << "held at the far extreme";
    ASSERT_NE(layer.animationForKey("rotateAnimation"), nullptr);

    // Mid-swing, the next beat's animation takes over from its own start.
    layer.addAnimation(swing(-25 * kDegree, 25 * kDegree), "rotateAnimation");
    clock.advance(0.25);
    layer.addAnimation(swing(25 * kDegree, -25 * kDegree), "rotateAnimation");
    EXPECT_NEAR(layer.presentationRotation(), 25 * kDegree, 1e-9);

    layer.removeAllAnimations();
    layer.setTransform(CATransform3DMakeRotation(10 * kDegree, 0, 0, 1));
    EXPECT_NEAR(layer.presentationRotation(), 10 * kDegree, 1e-9) << "the model value without animations";
}

TEST(LayerAnimation, LedFadeEndsAtTheModelOpacity) {
    testApplication();
    ManualAnimationClock clock;
    ScopedAnimationClock scoped(clock);
    ImageView led;
    led.layer().setOpacity(0);
    CABasicAnimation fade;
    fade.keyPath = "opacity";
    fade.fromValue = 1;
    fade.toValue = 0;
    fade.duration = 0.2;
    fade.timingFunction = CAMediaTimingFunction::easeInEaseOut();
    led.layer().addAnimation(fade, "fade");
    EXPECT_NEAR(led.layer().presentationOpacity(), 1, 1e-9);
    clock.advance(0.1);
    EXPECT_NEAR(led.layer().presentationOpacity(), 0.5, 1e-9);
    clock.advance(0.1);
    EXPECT_NEAR(led.layer().presentationOpacity(), 0, 1e-9);
    EXPECT_EQ(led.layer().animationForKey("fade"), nullptr) << "removed on completion";
}

TEST(LayerAnimation, ImageTurnsAboutTheAnchor) {
    testApplication();
    QImage bar(4, 20, QImage::Format_ARGB32_Premultiplied);
    bar.fill(Qt::black);
    View host(NSMakeRect(0, 0, 40, 40), nullptr);
    auto* view = new ImageView(NSMakeRect(0, 0, 40, 40), &host);
    view->setImage(std::make_shared<NSImage>(bar));
    view->setImageScaling(NSImageScaling::None);
    view->layer().setAnchorPoint({0.5, 0});
    view->layer().setPosition({20, 10});
    auto dark = [](const QImage& image, int x, int y) { return image.pixelColor(x, 39 - y).alpha() > 200; };
    // Upright, the 40-point tall layer holds the 20-point bar in its middle: from y 20 to 40.
    QImage upright = host.renderToImage();
    EXPECT_TRUE(dark(upright, 20, 25));
    EXPECT_FALSE(dark(upright, 20, 15));
    view->layer().setTransform(CATransform3DMakeRotation(90 * kDegree, 0, 0, 1));
    // A quarter turn counter-clockwise about (20, 10) lays the bar to the left, 10 to 30 points away.
    QImage turned = host.renderToImage();
    EXPECT_TRUE(dark(turned, 20 - 15, 10));
    EXPECT_FALSE(dark(turned, 20 + 15, 10));
    EXPECT_FALSE(dark(turned, 20, 25));
}
