#include <gtest/gtest.h>

#include <QTest>
#include <string>

#include "Source/MetronomeSegmentedCell.h"
#include "ViewTestApplication.h"
#include "platform/AppKit/Image.h"

TEST(MetronomeSegmentedCellDrawing, QuartersWithImagesAndThePressedOneDarkened) {
    viewTestApplication();
    MetronomeSegmentedCell control(NSMakeRect(0, 0, 120, 24), nullptr);
    const char* images[] = {"segment_start.png", "segment_stop.png", "segment_pendulum.png",
                            "segment_led.png"};
    for (int i = 0; i < 4; ++i) control.setImage(NSImage::imageNamed(images[i]), i);
    control.resize(120, 24);

    const QColor bar = QColor::fromRgbF(0.82, 0.82, 0.82);
    const QColor pressed = QColor::fromRgbF(0.82 * 0.65, 0.82 * 0.65, 0.82 * 0.65);
    auto near = [](const QColor& a, const QColor& b) {
        return std::abs(a.red() - b.red()) <= 2 && std::abs(a.green() - b.green()) <= 2 && a.alpha() == 255;
    };
    QImage image = control.renderToImage();
    EXPECT_TRUE(near(pixelAt(image, 75, 3), bar)) << "the grey bar";
    // The stop glyph fills its image's middle 6 × 6 in dark grey: 10 × 10 at (40, 24 - 5 - 10).
    EXPECT_EQ(control.imageRect(1), NSMakeRect(40, 9, 10, 10));
    for (int x = 43; x < 47; ++x)
        for (int y = 12; y < 16; ++y)
            EXPECT_NEAR(pixelAt(image, x, y).red(), 51, 2) << "stop glyph at " << x << ", " << y;

    QTest::mousePress(&control, Qt::LeftButton, Qt::NoModifier, QPoint(75, 12));
    EXPECT_EQ(control.highlightedSegment(), 2);
    image = control.renderToImage();
    EXPECT_TRUE(near(pixelAt(image, 75, 3), pressed)) << "the pressed quarter";
    EXPECT_TRUE(near(pixelAt(image, 45, 3), bar)) << "the quarter beside it";
    QTest::mouseRelease(&control, Qt::LeftButton, Qt::NoModifier, QPoint(75, 12));
    EXPECT_EQ(control.highlightedSegment(), -1);
    image = control.renderToImage();
    EXPECT_TRUE(near(pixelAt(image, 75, 3), bar)) << "released";
}
