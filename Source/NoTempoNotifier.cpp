#include "Source/NoTempoNotifier.h"

#include "Source/ArtworkImageView.h"
#include "Source/NoBPMView.h"
#include "Source/NoTempoNotifierHost.h"
#include "Source/NotifyNoBPMWindow.h"
#include "Source/PlayerStatus.h"
#include "Source/RatingView.h"
#include "platform/AppKit/Color.h"
#include "platform/AppKit/Font.h"
#include "platform/AppKit/TextField.h"
#include "platform/Foundation/Bundle.h"
#include "platform/Foundation/RunLoop.h"
#include "platform/Foundation/Scheduler.h"

namespace {

constexpr const char* kHideSelector = "hideNotifyWindow";

std::string localized(const char* key) {
    return NSBundle::mainBundle().localizedStringForKey(key, "", "");
}

std::string filled(const char* format, const std::string& name) {
    std::string text = localized(format);
    if (auto at = text.find("%@"); at != std::string::npos) text.replace(at, 2, name);
    return text;
}

}  // namespace

NoTempoNotifier::NoTempoNotifier(NoTempoNotifierHost& host, PlayerStatus& model)
    : mHost(host), mModel(model) {}

NoTempoNotifier::~NoTempoNotifier() {
    dismissAtOnce();  // hands the panel back before the panel goes
}

void NoTempoNotifier::buildNotifyView() {
    mNotifyView = std::make_unique<View>(NSRect{{0, 0}, {300, 80}}, nullptr);
    mArtworkView = new ArtworkImageView(NSRect{{8, 8}, {64, 64}}, mNotifyView.get());
    mNameField = new TextField(mNotifyView.get());
    mNameField->setFrameRect(NSRect{{80, 54}, {184, 18}});
    mNameField->setNSFont(NSFont::boldSystemFontOfSize(12));
    mArtistField = new TextField(mNotifyView.get());
    mArtistField->setFrameRect(NSRect{{80, 38}, {212, 16}});
    mAlbumField = new TextField(mNotifyView.get());
    mAlbumField->setFrameRect(NSRect{{80, 22}, {212, 16}});
    for (TextField* field : {mNameField, mArtistField, mAlbumField}) {
        field->setEditable(false);
        field->setBordered(false);
        field->setDrawsBackground(false);
        field->setTextColor(NSColor::whiteColor());
    }
    mRatingView = new RatingView(NSRect{{80, 6}, {60, 12}}, mNotifyView.get());
    mNoBPMImage = new NoBPMView(NSRect{{268, 48}, {24, 24}}, mNotifyView.get());
}

void NoTempoNotifier::notify() {
    cancelPreviousPerformRequestsWithTarget(this, kHideSelector, nullptr);
    hideNotifyWindow();

    const bool doNotify = mHost.boolForKey("DoNotify");
    const SInt64 type = mHost.integerForKey("NotifyType");
    const bool windowWanted = doNotify && type == 1;
    const bool userNotificationWanted = doNotify && type == 0;

    if (mHost.applicationIsActive()) return;
    if (mHost.boolForKey("NotifyIfiTunesInactive") && mHost.iTunesIsActive()) return;

    bool unreliable = false;
    if (mModel.trackBPM() != 0) {
        if (!mHost.boolForKey("NotifyBPMSkeptical") || !mHost.keepTrack() || mHost.trackPreviouslyAssigned())
            return;
        unreliable = true;
    }

    if (windowWanted) showNotifyWindow();
    if (mHost.boolForKey("NotifyBounceIcon"))
        mHost.requestUserAttention(mHost.boolForKey("NotifyBounceRepeat"));
    if (mHost.boolForKey("NotifyPlaySound") && !mHost.boolForKey("NotifySoundRepeat"))
        if (auto sound = mHost.stringForKey("NotifySound"); sound && !sound->empty())
            mHost.playSystemSound(*sound);
    if (userNotificationWanted) {
        const std::string& track = mModel.trackName();
        if (unreliable)
            mHost.deliverUserNotification(
                localized("BPM value is unreliable"),
                filled("%@ has a BPM value that was not determined by Beatwick.", track), "");
        else
            mHost.deliverUserNotification(localized("BPM value is missing"), "",
                                          filled("%@ does not have a BPM value.", track));
    }
}

void NoTempoNotifier::showNotifyWindow() {
    if (!mNotifyView) buildNotifyView();
    mRatingView->setHalfStars(mHost.ratingViewHasHalfStars());
    mRatingView->setFontSize(10);
    mRatingView->setReadOnly(true);
    mRatingView->setRating(mModel.trackRating());
    mNameField->setStringValue(mModel.trackName());
    mArtistField->setStringValue(mModel.trackArtist());
    mAlbumField->setStringValue(mModel.trackAlbum());
    mArtworkView->setImage(mModel.artworkForNotify());
    mArtworkView->setDrawBorder(false);

    // A window still fading out gives the panel up to the new one.
    mNotifyWindow = NotifyNoBPMWindow::initWithView(mNotifyView.get());
    if (!mNotifyWindow) return;
    mNotifyWindow->displayOrCloseWindow();
    performSelector(this, kHideSelector, nullptr, kNoticeSeconds, [this] { hideNotifyWindow(); });
}

void NoTempoNotifier::dismissAtOnce() {
    cancelPreviousPerformRequestsWithTarget(this);
    mNotifyWindow.reset();
    mFading.clear();
}

void NoTempoNotifier::hideNotifyWindow() {
    if (!mNotifyWindow) return;
    NotifyNoBPMWindow* closing = mNotifyWindow.get();
    mFading.push_back(std::move(mNotifyWindow));
    closing->didFadeOut = [this, closing] {
        // Destroyed from the event loop, not from inside its own fade step.
        Scheduler::current().post([this, closing, alive = std::weak_ptr<bool>(mAlive)] {
            if (alive.expired()) return;
            std::erase_if(mFading, [closing](const auto& window) { return window.get() == closing; });
        });
    };
    if (closing->isOpen())
        closing->displayOrCloseWindow();
    else
        closing->didFadeOut();
}
