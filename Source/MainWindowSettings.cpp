#include "Source/MainWindowSettings.h"

#include "Source/MainWindowSettingsHost.h"
#include "Source/PlayerCommands.h"
#include "Source/RatingView.h"
#include "Source/TapView.h"
#include "platform/AppKit/Button.h"
#include "platform/AppKit/Image.h"
#include "platform/AppKit/Window.h"
#include "platform/Foundation/Bundle.h"

namespace {

std::string localized(const char* key) {
    return NSBundle::mainBundle().localizedStringForKey(key, "", "");
}

}  // namespace

MainWindowSettings::MainWindowSettings(MainWindowSettingsHost& host, Outlets outlets)
    : fHost(host), fOutlets(outlets) {}

void MainWindowSettings::windowStyleChanged() {
    if (fHost.boolForKey("MakeFloatingWindow")) {
        fOutlets.window.setLevel(CGWindowLevelForKey(kCGFloatingWindowLevelKey));
        fOutlets.window.makeKeyAndOrderFront();
    } else {
        fOutlets.window.setLevel(CGWindowLevelForKey(kCGNormalWindowLevelKey));
    }
}

void MainWindowSettings::halfStarRatingChanged() {
    bool halfStars = false;
    if (fHost.boolForKey("AllowHalfStarRating")) {
        auto player = fHost.playerPreference("allow-half-stars");
        halfStars = player && player->boolean().value_or(player->integer().value_or(0) != 0);
    }
    fOutlets.ratingView.setHalfStars(halfStars);
}

void MainWindowSettings::updateMetronome() {
    fOutlets.metronomeButton.setImage(
        NSImage::imageNamed(fHost.metronomeIsPlaying() ? "metronome_stopc.png" : "metronome_startc.png"));
}

void MainWindowSettings::setupSkipTooltips() {
    // The seconds the commands will use, not the text as stored: "abc" would promise no seek.
    const std::string seconds =
        std::to_string(PlayerCommands::advanceSecondsFrom(fHost.stringForKey("AdvanceSeconds")));
    auto fill = [&](const char* format) {
        std::string text = localized(format);
        if (auto at = text.find("%@"); at != std::string::npos) text.replace(at, 2, seconds);
        return text;
    };
    fOutlets.skipForwardButton.setToolTip(fill("Skip forward %@ seconds"));
    fOutlets.skipNextButton.setToolTip(fill("Skip to %@ seconds into next track"));
}

void MainWindowSettings::updateMinMaxBPM() {
    fOutlets.tapView.updateMinMaxBPM();
    fOutlets.tapView.setNeedsDisplay();
}

void MainWindowSettings::updateMetronomeStyle() {
    fOutlets.tapView.updateMetronomeStyle();
    fOutlets.tapView.setNeedsDisplay();
}
