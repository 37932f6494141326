#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "Source/BPMBadgeView.h"
#include "Source/BPMBadgeViewHost.h"
#include "ViewTestApplication.h"
#include "platform/AppKit/Image.h"

namespace {

class FakeBadgeHost : public BPMBadgeViewHost {
public:
    bool hasCurrentTrack() const override { return track; }
    bool currentTrackAssigned() const override { return assignedNow; }
    bool trackPreviouslyAssigned() const override { return assignedBefore; }
    bool track{true};
    bool assignedNow{false};
    bool assignedBefore{false};
};

const QColor kGrey = QColor::fromRgbF(0.25, 0.27, 0.28);
const QColor kBlue = QColor::fromRgbF(0.15, 0.42, 0.78);

bool near(const QColor& a, const QColor& b) {
    return a.alpha() == 255 && std::abs(a.red() - b.red()) <= 2 && std::abs(a.green() - b.green()) <= 2 &&
           std::abs(a.blue() - b.blue()) <= 2;
}

// Rows [bottom, top) and columns [left, right) of the opaque white pixels in columns [from, to).
struct Ink {
    int left, right, bottom, top;
};
std::optional<Ink> whiteInk(const QImage& image, int from, int to) {
    std::optional<Ink> ink;
    for (int x = from; x < to; ++x)
        for (int y = 0; y < image.height(); ++y) {
            const QColor p = pixelAt(image, x, y);
            if (p.red() < 170 || p.green() < 190 || p.alpha() < 250) continue;
            if (!ink) ink = Ink{x, x + 1, y, y + 1};
            ink->left = std::min(ink->left, x);
            ink->right = std::max(ink->right, x + 1);
            ink->bottom = std::min(ink->bottom, y);
            ink->top = std::max(ink->top, y + 1);
        }
    return ink;
}

// The glyphs' box around the baseline (Qt's y-down), to place expected ink.
QRectF glyphs(const std::string& text, CGFloat size) {
    return QFontMetricsF(NSFont::systemFontOfSize(size).toQFont())
        .tightBoundingRect(QString::fromStdString(text));
}

}  // namespace

TEST(BPMBadgeViewDrawing, BlueWithACheckMarkWhenThisProgramSetTheTempoElseGrey) {
    struct Case {
        const char* name;
        bool assignedNow;
        bool assignedBefore;
        bool confident;
    };
    const std::vector<Case> cases{
        {"assigned now", true, false, true},
        {"assigned before", false, true, true},
        {"tagged elsewhere", false, false, false},
    };
    const TextAttributes digits{NSFont::systemFontOfSize(10), {}, 0};
    const TextAttributes mark{NSFont::systemFontOfSize(9), {}, 0};
    const NSSize text = sizeWithAttributes("128", digits);
    const double markWidth = sizeWithAttributes("✓", mark).width;
    for (const Case& c : cases) {
        viewTestApplication();
        FakeBadgeHost host;
        host.assignedNow = c.assignedNow;
        host.assignedBefore = c.assignedBefore;
        BPMBadgeView view(NSMakeRect(0, 0, 60, 17), nullptr);
        view.setController(&host);
        view.setBpm(128);
        const QImage image = view.renderToImage();

        const int width = static_cast<int>(std::trunc(text.width + (c.confident ? markWidth + 3 : 0))) + 10;
        const QColor fill = c.confident ? kBlue : kGrey;
        EXPECT_TRUE(near(pixelAt(image, 2, 8), fill)) << c.name << ": badge colour at its left";
        EXPECT_TRUE(near(pixelAt(image, width - 2, 8), fill)) << c.name << ": badge colour at its right";
        EXPECT_EQ(pixelAt(image, width + 1, 8).alpha(), 0) << c.name << ": nothing past " << width;
        EXPECT_EQ(pixelAt(image, 8, 0).alpha(), 0) << c.name << ": the badge starts 1 point up";
        EXPECT_TRUE(near(pixelAt(image, 8, 1), fill)) << c.name;
        EXPECT_EQ(pixelAt(image, 8, 16).alpha(), 0) << c.name << ": 15 points high";

        // The digits 5 points in, centred in the badge and 1 point lower; the mark on their baseline.
        const double textY = 1 + (15 - text.height) / 2 - 1;
        const double baseline = textY + digits.font.descender();
        const auto number = whiteInk(image, 5, static_cast<int>(5 + text.width));
        ASSERT_TRUE(number) << c.name;
        EXPECT_NEAR(number->left, 5 + glyphs("128", 10).left(), 1.5) << c.name;
        EXPECT_NEAR(number->bottom, baseline - glyphs("128", 10).bottom(), 1.0) << c.name;
        const int markFrom = static_cast<int>(std::ceil(5 + text.width + 3));
        const auto check = whiteInk(image, markFrom, 60);
        EXPECT_EQ(check.has_value(), c.confident) << c.name << ": check mark";
        if (check) {
            EXPECT_NEAR(check->bottom, baseline - glyphs("✓", 9).bottom(), 1.0) << c.name;
        }
    }
}

TEST(BPMBadgeViewDrawing, NoTempoShowsTheQuestionMarkAndNoTrackShowsNothing) {
    viewTestApplication();
    FakeBadgeHost host;
    BPMBadgeView view(NSMakeRect(0, 0, 60, 17), nullptr);
    view.setController(&host);
    const QImage image = view.renderToImage();
    const auto question = NSImage::imageNamed("questionmark.png");
    ASSERT_NE(question, nullptr);
    const QImage& glyph = question->qtImage();
    int drawn = 0;
    for (int x = 0; x < 16; ++x)
        for (int y = 0; y < 16; ++y) {
            const QColor want = glyph.pixelColor(x, 15 - y), got = pixelAt(image, x, y);
            EXPECT_NEAR(got.alpha(), want.alpha(), 2) << "at " << x << ", " << y;
            drawn += want.alpha() > 0;
        }
    EXPECT_GT(drawn, 10);
    for (int y = 0; y < 17; ++y) EXPECT_EQ(pixelAt(image, 16, y).alpha(), 0) << "past the 16-point image";

    host.track = false;
    view.setBpm(128);
    const QImage empty = view.renderToImage();
    QImage blank(empty.size(), empty.format());
    blank.fill(Qt::transparent);
    EXPECT_EQ(empty, blank) << "without a current track";
}
