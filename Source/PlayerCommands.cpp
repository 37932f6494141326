#include "Source/PlayerCommands.h"

#include <algorithm>
#include <cctype>
#include <limits>

#include "Source/PlayerAccess.h"
#include "Source/PlayerCommandsHost.h"
#include "Source/PlayerStatus.h"
#include "platform/AppKit/Event.h"

namespace {

constexpr SInt32 kDefaultAdvanceSeconds = 10;
constexpr SInt32 kMaxAdvanceSeconds = 300;
constexpr SInt32 kRatingStep = 20;
constexpr SInt32 kHalfStarRatingStep = 10;
constexpr SInt32 kVolumeStep = 5;

}  // namespace

PlayerCommands::PlayerCommands(PlayerCommandsHost& host, PlayerAccess& player, PlayerStatus& model)
    : mHost(host), mPlayer(player), mModel(model) {}

SInt32 PlayerCommands::advanceSecondsFrom(const std::optional<std::string>& text) {
    if (!text) return kDefaultAdvanceSeconds;
    // A leading integer after blanks, as a text field's integer value reads it; saturating, so
    // "99999999999" is out of range rather than a wrapped small number.
    size_t at = 0;
    while (at < text->size() && std::isspace(static_cast<unsigned char>((*text)[at]))) ++at;
    bool negative = false;
    if (at < text->size() && ((*text)[at] == '-' || (*text)[at] == '+')) negative = (*text)[at++] == '-';
    long long value = 0;
    bool digits = false;
    for (; at < text->size() && std::isdigit(static_cast<unsigned char>((*text)[at])); ++at) {
        digits = true;
        value = std::min<long long>(value * 10 + ((*text)[at] - '0'), std::numeric_limits<SInt32>::max());
    }
    if (!digits || negative) return kDefaultAdvanceSeconds;
    return value >= 1 && value <= kMaxAdvanceSeconds ? static_cast<SInt32>(value) : kDefaultAdvanceSeconds;
}

SInt32 PlayerCommands::advanceSeconds() const {
    return advanceSecondsFrom(mHost.stringForKey("AdvanceSeconds"));
}

bool PlayerCommands::skipModeFor(Sender sender) const {
    if (sender == Sender::Control) return (mHost.currentModifierFlags() & NSAlternateKeyMask) != 0;
    return mHost.boolForKey("SkipIfHasBPM");
}

void PlayerCommands::previousTrack() {
    mPlayer.backTrack();
}
void PlayerCommands::pausePlayTrack() {
    mPlayer.playPause();
}
void PlayerCommands::fastForward() {
    mPlayer.fastForward();
}
void PlayerCommands::rewind() {
    mPlayer.rewind();
}
void PlayerCommands::resume() {
    mPlayer.resume();
}

void PlayerCommands::next(Sender sender, bool seek) {
    const SInt32 seconds = seek ? advanceSeconds() : 0;
    if (skipModeFor(sender)) {
        bool noneLeft = false;
        if (auto track = mModel.getNextTrack(mHost.boolForKey("OnlyIfConfirmed"), noneLeft)) {
            mPlayer.playTrack(*track);
            if (seek) mPlayer.setPlayerPosition(seconds);
            // Every later track was done: leave the playlist's end as a plain Next would.
            if (noneLeft) mPlayer.nextTrack();
            return;
        }
    }
    mPlayer.nextTrack();
    if (seek) mPlayer.setPlayerPosition(seconds);
}

// The commands that wait on the player's replies run as one batch: a slow player costs each
// of them at most one time-out of waiting in all.
void PlayerCommands::nextTrack(Sender sender) {
    mPlayer.refreshAnswered([&] { next(sender, false); });
}
void PlayerCommands::nextPlusSkipForward(Sender sender) {
    mPlayer.refreshAnswered([&] { next(sender, true); });
}

void PlayerCommands::skipForward() {
    mPlayer.refreshAnswered([&] {
        const SInt32 position = mPlayer.playerPosition();
        // An unreadable position would seek to a few seconds from the start.
        if (position < 0) return;
        mPlayer.setPlayerPosition(position + advanceSeconds());
    });
}

void PlayerCommands::skipBack() {
    mPlayer.refreshAnswered([&] {
        const SInt32 position = mPlayer.playerPosition();
        // An unreadable position would jump to the previous track.
        if (position < 0) return;
        const SInt32 target = position - advanceSeconds();
        if (target < 1)
            mPlayer.backTrack();
        else
            mPlayer.setPlayerPosition(target);
    });
}

void PlayerCommands::applyRating(SInt32 rating) {
    mHost.showRating(rating);
    mPlayer.refreshAnswered([&] {
        if (auto track = mPlayer.currentTrack()) track->setRating(rating);
    });
    mHost.ratingChanged(rating);
}

void PlayerCommands::ratingUp() {
    const SInt32 rating = mModel.trackRating();
    // An unreadable rating (-1) would be stepped into a wrong one, as a position would.
    if (rating < PlayerStatus::nostars) return;
    if (rating >= PlayerStatus::fivestars) {
        mHost.beep();
        return;
    }
    const SInt32 step = mHost.ratingViewHasHalfStars() ? kHalfStarRatingStep : kRatingStep;
    applyRating(std::min(rating + step, PlayerStatus::fivestars));
}

void PlayerCommands::ratingDown() {
    const SInt32 rating = mModel.trackRating();
    if (rating < PlayerStatus::nostars) return;
    if (rating <= PlayerStatus::nostars) {
        mHost.beep();
        return;
    }
    const SInt32 step = mHost.ratingViewHasHalfStars() ? kHalfStarRatingStep : kRatingStep;
    applyRating(std::max(rating - step, PlayerStatus::nostars));
}

void PlayerCommands::setVolume(SInt32 value) {
    mHost.setVolumeSliderValue(value);
    volumeChanged();
}

void PlayerCommands::volumeUp() {
    const SInt32 value = mHost.volumeSliderValue();
    if (value >= 100) {
        mHost.beep();
        return;
    }
    setVolume(std::min(value + kVolumeStep, 100));
}

void PlayerCommands::volumeDown() {
    const SInt32 value = mHost.volumeSliderValue();
    if (value <= 0) {
        mHost.beep();
        return;
    }
    setVolume(std::max(value - kVolumeStep, 0));
}

void PlayerCommands::volumeChanged() {
    const SInt32 value = mHost.volumeSliderValue();
    mModel.setPlayerVolume(value);
    mPlayer.setPlayerVolume(value);
}

void PlayerCommands::switchToiTunes() {
    if (mHost.playerIsRunning())
        mHost.activatePlayer();
    else
        mHost.launchPlayer();
}
