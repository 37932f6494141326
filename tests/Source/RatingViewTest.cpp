#include <gtest/gtest.h>

#include <QCursor>
#include <QMouseEvent>
#include <QTest>
#include <string>
#include <vector>

#include "Source/RatingView.h"
#include "Source/RatingViewHost.h"
#include "ViewTestApplication.h"
#include "platform/AppKit/Font.h"
#include "platform/AppKit/Image.h"
#include "platform/AppKit/Window.h"

namespace {

class FakeRatingHost : public RatingViewHost {
public:
    void rateCurrentTrack(int rating) override { log.push_back("rate " + std::to_string(rating)); }
    void ratingChanged(int rating) override { log.push_back("changed " + std::to_string(rating)); }
    std::vector<std::string> log;
};

// An 80 × 16 rating view in a window, away from where the pointer rests.
struct Stars {
    Stars() : window((viewTestApplication(), NSMakeSize(120, 40))) {
        QCursor::setPos(1000, 1000);
        view = new RatingView(NSMakeRect(10, 10, 80, 16), window.contentView());
        view->setController(&host);
        window.move(100, 100);
        window.show();
    }
    void clickAt(int x) { QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, QPoint(x, 8)); }
    void moveTo(int x, Qt::MouseButtons buttons) {
        QMouseEvent move(QEvent::MouseMove, QPointF(x, 8), view->mapToGlobal(QPointF(x, 8)), Qt::NoButton,
                         buttons, Qt::NoModifier);
        QApplication::sendEvent(view, &move);
    }

    Window window;
    FakeRatingHost host;
    RatingView* view;
};

}  // namespace

TEST(RatingViewClicks, TheStarUnderTheClickRatesTheTrack) {
    struct Case {
        int x;
        bool halfStars;
        int rating;
    };
    // Click zones for stars 16 points apart; the first 4 points of a star give the half star before it.
    const std::vector<Case> cases{
        {1, true, 0},     {2, false, 20},  {2, true, 10},    {3, true, 10},   {3, false, 20}, {14, true, 20},
        {15, true, 30},   {15, false, 40}, {17, true, 30},   {17, false, 40}, {20, true, 40}, {22, true, 40},
        {30, true, 40},   {31, true, 50},  {46, true, 60},   {47, true, 70},  {62, true, 80}, {63, true, 90},
        {63, false, 100}, {70, true, 100}, {79, false, 100},
    };
    for (const Case& c : cases) {
        Stars s;
        s.view->setHalfStars(c.halfStars);
        s.view->setRating(50);
        s.clickAt(c.x);
        const std::string name =
            "x " + std::to_string(c.x) + (c.halfStars ? " with" : " without") + " half stars";
        EXPECT_EQ(s.view->rating(), c.rating) << name;
        const std::vector<std::string> told{"rate " + std::to_string(c.rating),
                                            "changed " + std::to_string(c.rating)};
        EXPECT_EQ(s.host.log, told) << name << ": the track is rated, then the controller told";
    }
}

TEST(RatingViewClicks, DraggingRatesAsItGoes) {
    Stars s;
    QTest::mousePress(s.view, Qt::LeftButton, Qt::NoModifier, QPoint(5, 8));
    s.moveTo(40, Qt::LeftButton);
    s.moveTo(0, Qt::LeftButton);
    QTest::mouseRelease(s.view, Qt::LeftButton, Qt::NoModifier, QPoint(0, 8));
    const std::vector<std::string> told{"rate 20",    "changed 20", "rate 60",
                                        "changed 60", "rate 0",     "changed 0"};
    EXPECT_EQ(s.host.log, told);
    EXPECT_EQ(s.view->rating(), 0);
}

TEST(RatingViewClicks, AReadOnlyViewHasNoTrackingAreaAndIgnoresTheMouse) {
    Stars s;
    ASSERT_EQ(s.view->trackingAreas().size(), 1u) << "an editable view tracks the mouse";
    s.view->setReadOnly(true);
    s.view->setRating(40);
    EXPECT_TRUE(s.view->trackingAreas().empty());
    s.clickAt(70);
    QTest::mousePress(s.view, Qt::LeftButton, Qt::NoModifier, QPoint(5, 8));
    s.moveTo(20, Qt::LeftButton);
    QTest::mouseRelease(s.view, Qt::LeftButton, Qt::NoModifier, QPoint(20, 8));
    EXPECT_EQ(s.view->rating(), 40);
    EXPECT_TRUE(s.host.log.empty());
}

TEST(RatingViewGeometry, ClipWidthCoversTheRatedStars) {
    struct Case {
        const char* name;
        int rating;
        bool halfStars;
        int fontSize;
        float width;
    };
    const std::vector<Case> cases{
        {"none", 0, true, 12, 0},
        {"one star", 20, false, 12, 12},
        {"three stars", 60, false, 12, 44},
        {"three and a half", 70, true, 12, 54},
        {"three and a half, small font", 70, true, 11, 55},
        {"three and a half without half stars", 70, false, 12, 44},
        {"five stars: the whole width", 100, false, 12, 80},
    };
    for (const Case& c : cases) {
        Stars s;
        s.view->setHalfStars(c.halfStars);
        s.view->setFontSize(c.fontSize);
        EXPECT_FLOAT_EQ(s.view->clipWidthForRating(c.rating), c.width) << c.name;
    }
}

namespace {

bool isWhite(const QColor& c) {
    return c.alpha() == 255 && c.red() == 255 && c.green() == 255 && c.blue() == 255;
}

// What a column holds: some opaque white, and some translucent grey of the unrated stars.
struct Column {
    bool white{false};
    bool grey{false};
};
Column column(const QImage& image, int x) {
    Column c;
    for (int y = 0; y < image.height(); ++y) {
        const QColor p = pixelAt(image, x, y);
        if (isWhite(p)) c.white = true;
        if (p.alpha() > 80 && p.alpha() <= 205 && std::abs(p.red() - 194) <= 3) c.grey = true;
    }
    return c;
}

}  // namespace

TEST(RatingViewDrawing, RatedStarsShowWhiteOverGrey) {
    Stars s;
    s.view->setRating(60);
    const QImage image = s.view->renderToImage();
    const TextAttributes star{NSFont::systemFontOfSize(12), {}, 4.0};
    const float width = static_cast<float>(sizeWithAttributes("★", star).width - 4);
    EXPECT_FLOAT_EQ(s.view->starWidth(), width) << "drawing measures the star";
    for (int i = 0; i < 5; ++i) {
        const int middle = static_cast<int>(i * (width + 4) + width / 2);
        const Column c = column(image, middle);
        EXPECT_EQ(c.white, i < 3) << "star " << i + 1 << " white";
        EXPECT_EQ(c.grey, i >= 3) << "star " << i + 1 << " grey";
    }
    const int clip = static_cast<int>(s.view->clipWidthForRating(60));
    EXPECT_FALSE(column(image, clip + 1).white) << "nothing white past the clip";
}

TEST(RatingViewDrawing, UnratedShowsTheNoStarsImageUnlessHovered) {
    struct Case {
        const char* name;
        int fontSize;
        const char* image;
    };
    for (const Case& c : {Case{"regular", 12, "nostars.png"}, Case{"small", 10, "nostars_small.png"}}) {
        Stars s;
        s.view->setFontSize(c.fontSize);
        const QImage rendered = s.view->renderToImage();
        // The image stretched over the view, as drawn alone.
        QImage expected(rendered.size(), QImage::Format_ARGB32_Premultiplied);
        expected.fill(Qt::transparent);
        {
            QPainter painter(&expected);
            GraphicsContext context(painter, expected.height());
            const auto image = NSImage::imageNamed(c.image);
            ASSERT_NE(image, nullptr) << c.image;
            image->drawInRect(s.view->bounds());
        }
        EXPECT_EQ(rendered, expected) << c.name;
    }

    Stars s;
    s.moveTo(30, Qt::NoButton);
    EXPECT_TRUE(s.view->hovering()) << "entering an unrated view";
    const QImage hovered = s.view->renderToImage();
    EXPECT_TRUE(column(hovered, 5).grey) << "grey stars while hovering";
    EXPECT_FALSE(column(hovered, 5).white);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(s.view, &leave);
    EXPECT_FALSE(s.view->hovering()) << "leaving";

    s.view->setRating(20);
    s.moveTo(30, Qt::NoButton);
    EXPECT_FALSE(s.view->hovering()) << "entering a rated view";
}
