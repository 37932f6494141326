#include <gtest/gtest.h>

#include <QPainter>

#include "Source/ArtworkImageView.h"
#include "Source/BPMView.h"
#include "Source/TrackView.h"
#include "ViewTestApplication.h"
#include "platform/AppKit/Image.h"
#include "platform/AppKit/Window.h"

namespace {

std::shared_ptr<NSImage> solid(QColor colour) {
    QImage image(20, 20, QImage::Format_ARGB32_Premultiplied);
    image.fill(colour);
    return std::make_shared<NSImage>(image);
}

// The image stretched over a canvas of the size, as the backgrounds draw it.
QImage stretched(const char* name, QSize size) {
    QImage canvas(size, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    GraphicsContext context(painter, size.height());
    const auto image = NSImage::imageNamed(name);
    if (image)
        NSDrawThreePartImage(NSMakeRect(0, 0, size.width(), size.height()), nullptr, image.get(), nullptr,
                             false, NSCompositingOperation::SourceOver, 1.0);
    else
        ADD_FAILURE() << name << " is missing";
    return canvas;
}

}  // namespace

TEST(TrackPanelViews, BackgroundsAreTheirImagesStretched) {
    viewTestApplication();
    TrackView track(NSMakeRect(0, 0, 200, 90), nullptr);
    EXPECT_EQ(track.renderToImage(), stretched("TrackBG_active.png", {200, 90}));
    // Outside a key window the tempo area takes its inactive background.
    BPMView tempo(NSMakeRect(0, 0, 120, 40), nullptr);
    EXPECT_EQ(tempo.renderToImage(), stretched("bpmGradient_inactive.png", {120, 40}));
}

TEST(TrackPanelViews, ArtworkSitsThreePointsInWithRoundedCorners) {
    viewTestApplication();
    ArtworkImageView view(NSMakeRect(0, 0, 70, 70), nullptr);
    view.setDrawBorder(false);
    view.setImage(solid(Qt::red));
    const QImage image = view.renderToImage();
    EXPECT_EQ(pixelAt(image, 2, 35).alpha(), 0) << "left of the inset";
    EXPECT_EQ(pixelAt(image, 67, 35).alpha(), 0) << "right of the inset";
    EXPECT_EQ(pixelAt(image, 3, 35), QColor(Qt::red)) << "the inset's left edge";
    EXPECT_LT(pixelAt(image, 3, 3).alpha(), 128) << "the corner is rounded off";
    EXPECT_EQ(pixelAt(image, 6, 6), QColor(Qt::red));
    EXPECT_LT(pixelAt(image, 66, 66).alpha(), 128) << "the far corner too";

    view.setDrawBorder(true);
    const QImage framed = view.renderToImage();
    EXPECT_GT(pixelAt(framed, 1, 35).alpha(), 0) << "the frame image around it";
}
