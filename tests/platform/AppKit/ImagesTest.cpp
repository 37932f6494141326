#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/AppKit/Image.h"
#include "tests/support/TestApplication.h"

namespace {
bool blank(const QImage& image) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y).alpha() > 0) return false;
    return true;
}
}  // namespace

TEST(Images, EveryNamedImageResolvesAtItsSize) {
    testApplication();
    setenv("BEATWICK_RESOURCE_DIR", BEATWICK_RESOURCE_DIR, 1);
    struct Case {
        const char* name;
        int width;
        int height;
    };
    const Case cases[] = {
        {"TrackBG_active.png", 8, 120},
        {"TrackBG_inactive.png", 8, 120},
        {"bpmGradient_active.png", 8, 64},
        {"bpmGradient_inactive.png", 8, 64},
        {"ArtworkFrame_active.png", 70, 70},
        {"ArtworkFrame_inactive.png", 70, 70},
        {"NoArtwork.png", 128, 128},
        {"NoArtwork_white.png", 128, 128},
        {"nostars.png", 80, 16},
        {"nostars_small.png", 60, 12},
        {"questionmark.png", 16, 16},
        {"checkmarkgray.png", 14, 14},
        {"runnert.png", 32, 32},
        {"pendulum36c.png", 36, 36},
        {"LED_on.png", 34, 34},
        {"LED_off.png", 34, 34},
        {"metronome_startc.png", 20, 20},
        {"metronome_stopc.png", 20, 20},
        {"addtoplaylist_active.png", 16, 16},
        {"play_active_s.png", 26, 26},
        {"play_pressed_s.png", 26, 26},
        {"pause_active_s.png", 26, 26},
        {"pause_pressed_s.png", 26, 26},
        {"back_active_s.png", 26, 26},
        {"back_pressed_s.png", 26, 26},
        {"forward_active_s.png", 26, 26},
        {"forward_pressed_s.png", 26, 26},
        {"skip_active.png", 26, 26},
        {"skip_pressed.png", 26, 26},
        {"skipnext_active.png", 26, 26},
        {"skipnext_pressed.png", 26, 26},
        {"segment_start.png", 10, 10},
        {"segment_stop.png", 10, 10},
        {"segment_pendulum.png", 10, 10},
        {"segment_led.png", 10, 10},
        {"arrows_white.png", 16, 16},
        {"TexturedSliderSpeakerQuiet.png", 16, 16},
        {"TexturedSliderSpeakerLoud.png", 16, 16},
        {"TexturedSliderPhotoSmall.tif", 16, 16},
        {"TexturedSliderPhotoLarge.tif", 16, 16},
        {"TexturedSliderTrackLeft.tiff", 5, 6},
        {"TexturedSliderTrackFill.tiff", 1, 6},
        {"TexturedSliderTrackRight.tiff", 5, 6},
        {"TexturedSliderThumbP.tiff", 14, 14},
        {"TexturedSliderThumbN.tiff", 14, 14},
    };
    for (const Case& c : cases) {
        const std::shared_ptr<NSImage> image = NSImage::imageNamed(c.name);
        ASSERT_TRUE(image) << c.name;
        EXPECT_EQ(image->size(), NSMakeSize(c.width, c.height)) << c.name;
        EXPECT_FALSE(blank(image->qtImage())) << c.name << " is blank";
        EXPECT_EQ(NSImage::imageNamed(c.name), image) << c.name << " is loaded once";
    }
    EXPECT_EQ(NSImage::imageNamed("no such image.png"), nullptr);
    EXPECT_EQ(NSImage::imageNamed("../Resources/nostars.png"), nullptr);
}
