#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "platform/AppKit/BezierPath.h"
#include "platform/AppKit/Gradient.h"
#include "platform/AppKit/GraphicsContext.h"
#include "platform/AppKit/Image.h"
#include "tests/support/TestApplication.h"

namespace {

// Draws into a transparent image of the size in y-up coordinates.
template <typename Draw>
QImage drawn(int w, int h, Draw draw) {
    testApplication();
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    {
        GraphicsContext context(painter, h);
        draw(context);
    }
    return image;
}

// The pixel at a y-up point of the image.
QColor at(const QImage& image, int x, int y) {
    return image.pixelColor(x, image.height() - 1 - y);
}

std::shared_ptr<NSImage> solid(int w, int h, QColor colour) {
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(colour);
    return std::make_shared<NSImage>(image);
}

}  // namespace

TEST(Drawing, YUpRectanglesLandAtTheBottomLeft) {
    const QImage image = drawn(40, 30, [](GraphicsContext&) {
        NSColor(1, 0, 0).set();
        NSRectFill(NSMakeRect(0, 0, 10, 5));
    });
    EXPECT_EQ(at(image, 0, 0), QColor(Qt::red));
    EXPECT_EQ(at(image, 9, 4), QColor(Qt::red));
    EXPECT_EQ(at(image, 10, 4).alpha(), 0);
    EXPECT_EQ(at(image, 0, 5).alpha(), 0);
    // In Qt's own rows the fill is at the bottom.
    EXPECT_EQ(image.pixelColor(0, 29), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0);
}

TEST(Drawing, ImagesStayUprightAndTakeTheirFraction) {
    // An image whose top half is red and bottom half blue.
    QImage picture(4, 4, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::blue);
    for (int x = 0; x < 4; ++x)
        for (int y = 0; y < 2; ++y) picture.setPixelColor(x, y, Qt::red);
    const NSImage image(picture);
    const QImage out = drawn(20, 20, [&](GraphicsContext&) {
        image.drawInRect(NSMakeRect(0, 0, 8, 8));
        image.drawInRect(NSMakeRect(10, 0, 8, 8), {}, NSCompositingOperation::SourceOver, 0.5);
    });
    EXPECT_EQ(at(out, 2, 6), QColor(Qt::red)) << "top half on top";
    EXPECT_EQ(at(out, 2, 1), QColor(Qt::blue));
    EXPECT_NEAR(at(out, 12, 1).alpha(), 128, 2) << "drawn at fraction 0.5";
}

TEST(Drawing, PathsArcsAndClips) {
    const QImage out = drawn(40, 40, [](GraphicsContext& context) {
        context.saveGraphicsState();
        NSBezierPath::bezierPathWithRect(NSMakeRect(0, 0, 20, 40)).addClip();
        NSColor(0, 1, 0).setFill();
        NSBezierPath::bezierPathWithRoundedRect(NSMakeRect(0, 0, 40, 40), 10, 10).fill();
        context.restoreGraphicsState();
        // A quarter arc counter-clockwise from 0 to 90 degrees lies in the upper right.
        NSBezierPath arc;
        arc.moveToPoint({30, 30});
        arc.appendBezierPathWithArcWithCenter({30, 30}, 8, 0, 90);
        arc.closePath();
        NSColor(0, 0, 1).setFill();
        arc.fill();
    });
    EXPECT_EQ(at(out, 10, 20), QColor(Qt::green));
    EXPECT_EQ(at(out, 0, 0).alpha(), 0) << "rounded corner left out";
    EXPECT_EQ(at(out, 25, 20).alpha(), 0) << "clipped away";
    EXPECT_EQ(at(out, 33, 33), QColor(Qt::blue));
    EXPECT_EQ(at(out, 33, 27).alpha(), 0) << "the arc turned counter-clockwise, y up";
}

TEST(Drawing, GradientAnglesFollowYUp) {
    const NSGradient gradient(NSColor(0, 0, 0), NSColor(1, 1, 1));
    const QImage up =
        drawn(10, 100, [&](GraphicsContext&) { gradient.drawInRect(NSMakeRect(0, 0, 10, 100), 90); });
    EXPECT_LT(at(up, 5, 2).red(), 20) << "90 degrees starts at the bottom";
    EXPECT_GT(at(up, 5, 97).red(), 235);
    const QImage down =
        drawn(10, 100, [&](GraphicsContext&) { gradient.drawInRect(NSMakeRect(0, 0, 10, 100), 270); });
    EXPECT_GT(at(down, 5, 2).red(), 235) << "270 degrees starts at the top";
    const NSGradient stops({NSColor(0, 0, 0), NSColor(1, 1, 1), NSColor(0, 0, 0)}, {0, 0.5, 1});
    EXPECT_EQ(stops.interpolatedColorAtLocation(0.25), NSColor(0.5, 0.5, 0.5));
}

TEST(Drawing, ThreePartImagesKeepTheirCaps) {
    const auto left = solid(3, 6, Qt::red), fill = solid(1, 6, Qt::green), right = solid(2, 6, Qt::blue);
    const QImage out = drawn(30, 10, [&](GraphicsContext&) {
        NSDrawThreePartImage(NSMakeRect(5, 2, 20, 6), left.get(), fill.get(), right.get(), false,
                             NSCompositingOperation::SourceOver, 1.0);
    });
    EXPECT_EQ(at(out, 7, 4), QColor(Qt::red));
    EXPECT_EQ(at(out, 8, 4), QColor(Qt::green));
    EXPECT_EQ(at(out, 22, 4), QColor(Qt::green));
    EXPECT_EQ(at(out, 23, 4), QColor(Qt::blue));
    EXPECT_EQ(at(out, 25, 4).alpha(), 0);
}

TEST(Text, KernWidensEveryCharacterAndTextSitsOnItsBox) {
    testApplication();
    TextAttributes plain{NSFont::systemFontOfSize(12), NSColor::whiteColor(), 0};
    TextAttributes kerned = plain;
    kerned.kern = 4;
    const std::string stars = "\u2605\u2605\u2605\u2605\u2605";
    const NSSize a = sizeWithAttributes(stars, plain), b = sizeWithAttributes(stars, kerned);
    EXPECT_NEAR(b.width - a.width, 20, 0.01);
    EXPECT_GT(a.width, 0);
    EXPECT_NEAR(a.height, 14, 1.5) << "a 12-pixel font's line box";
    // Bold 64-pixel digits: a pinned font gives a stable width.
    const NSSize digits =
        sizeWithAttributes("120", {NSFont::boldSystemFontOfSize(64), NSColor::blackColor(), 0});
    EXPECT_NEAR(digits.width, 3 * 44.5, 3);

    const QImage out = drawn(60, 40, [&](GraphicsContext& context) {
        context.drawString("H", NSMakePoint(10, 10), {NSFont::boldSystemFontOfSize(24), NSColor(0, 0, 0), 0});
    });
    int lowest = -1, highest = -1;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x)
            if (at(out, x, y).alpha() > 128) {
                if (lowest < 0) lowest = y;
                highest = y;
            }
    const double descent = NSFont::boldSystemFontOfSize(24).descender();
    EXPECT_NEAR(lowest, 10 + descent, 1.5) << "the baseline lies one descent above the point";
    EXPECT_GT(highest, lowest + 12) << "upright, not mirrored below the point";
}
