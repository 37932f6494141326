#include <gtest/gtest.h>

#include <QTest>

#include "Source/Toolkit/GradientButtonCell.h"
#include "Source/Toolkit/GradientSegmentedCell.h"
#include "tests/Source/ViewTestApplication.h"

namespace {
bool near(const QColor& a, const QColor& b, int tolerance = 3) {
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

std::string describe(const QColor& c) {
    return std::to_string(c.red()) + "," + std::to_string(c.green()) + "," + std::to_string(c.blue());
}

// The gradient's colour at a pixel row of a frame `height` high, light end on top.
QColor expected(const NSGradient& gradient, int y, int height, double shade = 1.0) {
    const NSColor c = gradient.interpolatedColorAtLocation((y + 0.5) / height);
    return QColor::fromRgbF(c.redComponent() * shade, c.greenComponent() * shade, c.blueComponent() * shade);
}

// The bounding box of the white title pixels (y-up), or an empty rect.
QRect whitePixels(const QImage& image) {
    QRect box;
    for (int x = 0; x < image.width(); ++x)
        for (int y = 0; y < image.height(); ++y) {
            const QColor c = pixelAt(image, x, y);
            if (c.red() > 200 && c.green() > 200 && c.blue() > 200) box |= QRect(x, y, 1, 1);
        }
    return box;
}
}  // namespace

TEST(GradientButtonCell, BezelFollowsDefaultEnabledAndPressedStates) {
    viewTestApplication();
    GradientButtonCell button(NSMakeRect(0, 0, 80, 28), nullptr);
    button.resize(80, 28);
    const CellGradients& g = button.gradients();
    const struct {
        const char* name;
        bool isDefault, enabled, pressed;
        const NSGradient& gradient;
        double shade;
    } cases[] = {
        {"plain", false, true, false, *g.normal_active_Gradient, 1.0},
        {"default", true, true, false, *g.default_active_Gradient, 1.0},
        {"disabled", false, false, false, *g.normal_inactive_Gradient, 1.0},
        {"pressed", false, true, true, *g.normal_active_Gradient, 0.65},
        {"default pressed", true, true, true, *g.default_active_Gradient, 0.65},
    };
    for (const auto& k : cases) {
        button.setKeyEquivalent(k.isDefault ? "\r" : "");
        button.setEnabled(k.enabled);
        button.setHighlighted(k.pressed);
        const QImage image = button.renderToImage();
        // Left of the title, one row near the bottom, one near the top.
        for (int y : {5, 22}) {
            const QColor want = expected(k.gradient, y, 28, k.shade);
            EXPECT_TRUE(near(pixelAt(image, 8, y), want))
                << k.name << " at y " << y << ": " << describe(pixelAt(image, 8, y)) << " not "
                << describe(want);
        }
        EXPECT_NE(pixelAt(image, 0, 14).alpha(), 255) << k.name << ": outside the rounded inset stays clear";
    }
    button.setEnabled(true);
    button.setHighlighted(false);
    button.setKeyEquivalent("\r");
    const QImage blue = button.renderToImage();
    EXPECT_GT(pixelAt(blue, 8, 14).blue(), pixelAt(blue, 8, 14).red() + 60) << "Return's button reads blue";
    EXPECT_GT(pixelAt(blue, 8, 22).blue(), pixelAt(blue, 8, 5).blue()) << "light end on top";
}

TEST(GradientButtonCell, TitleIsWhiteAndCentred) {
    viewTestApplication();
    GradientButtonCell button(NSMakeRect(0, 0, 80, 28), nullptr);
    button.resize(80, 28);
    button.setTitle("Apply");
    const QRect box = whitePixels(button.renderToImage());
    ASSERT_FALSE(box.isEmpty());
    EXPECT_NEAR(box.center().x(), 40, 2) << "centred across";
    EXPECT_NEAR(box.center().y(), 14, 3) << "centred up and down";
}

TEST(GradientSegmentedCell, ActsOnMouseDownWithTheHalfPressedAndShadesIt) {
    viewTestApplication();
    GradientSegmentedCell control(NSMakeRect(0, 0, 68, 24), nullptr);
    control.resize(68, 24);
    control.setLabel("\u00BD", 0);
    control.setLabel("\u00D72", 1);
    control.setTag(0, 0);
    control.setTag(1, 1);
    std::vector<long> tags;
    control.action = [&] { tags.push_back(control.tagForSegment(control.highlightedSegment())); };
    const CellGradients gradients = CellGradients::constructGradients();
    const NSGradient& body = *gradients.normal_active_Gradient;

    const struct {
        const char* name;
        int x;
        int pressedX, otherX;
    } cases[] = {{"left half", 10, 4, 64}, {"right half", 58, 64, 4}};
    for (const auto& k : cases) {
        tags.clear();
        QTest::mousePress(&control, Qt::LeftButton, Qt::NoModifier, QPoint(k.x, 12));
        EXPECT_EQ(tags, std::vector<long>{k.x < 34 ? 0L : 1L}) << k.name << ": sent on the press";
        const QImage pressed = control.renderToImage();
        EXPECT_TRUE(near(pixelAt(pressed, k.pressedX, 6), expected(body, 6, 24, 0.65)))
            << k.name << ": shaded, " << describe(pixelAt(pressed, k.pressedX, 6)) << " not "
            << describe(expected(body, 6, 24, 0.65));
        EXPECT_TRUE(near(pixelAt(pressed, k.otherX, 6), expected(body, 6, 24)))
            << k.name << ": other half, " << describe(pixelAt(pressed, k.otherX, 6));
        QTest::mouseRelease(&control, Qt::LeftButton, Qt::NoModifier, QPoint(k.x, 12));
        EXPECT_EQ(tags.size(), 1u) << k.name << ": not sent again on release";
        EXPECT_EQ(control.highlightedSegment(), -1) << k.name;
        EXPECT_TRUE(near(pixelAt(control.renderToImage(), k.pressedX, 6), expected(body, 6, 24))) << k.name;
    }

    const QImage image = control.renderToImage();
    EXPECT_TRUE(near(pixelAt(image, 34, 12), QColor::fromRgbF(0.12, 0.12, 0.12))) << "divider";
    const QRect left = whitePixels(image.copy(0, 0, 34, 24));
    const QRect right = whitePixels(image.copy(34, 0, 34, 24));
    ASSERT_FALSE(left.isEmpty());
    ASSERT_FALSE(right.isEmpty());
    EXPECT_NEAR(left.center().x(), 18, 2) << "½ a point right of its half's centre";
    EXPECT_NEAR(34 + right.center().x(), 51, 2) << "×2 in its half's centre";

    control.setEnabled(false);
    tags.clear();
    QTest::mousePress(&control, Qt::LeftButton, Qt::NoModifier, QPoint(10, 12));
    EXPECT_TRUE(tags.empty()) << "disabled";
    EXPECT_TRUE(near(pixelAt(control.renderToImage(), 34, 12), QColor::fromRgbF(0.32, 0.32, 0.32)))
        << "disabled divider";
}
