// Tells the user when a newly playing track has no tempo, or one this program did not set: by the
// floating notice window, a desktop notification, an attention request and a sound, as the
// settings ask. The notice window lives 7 seconds, until the next notice or until the program
// becomes active. Owns the notice panel, which every notice window reuses. Main thread only.
#pragma once

#include <memory>
#include <vector>

class ArtworkImageView;
class NoBPMView;
class NoTempoNotifierHost;
class NotifyNoBPMWindow;
class PlayerStatus;
class RatingView;
class TextField;
class View;

class NoTempoNotifier {
public:
    NoTempoNotifier(const NoTempoNotifier&) = delete;
    NoTempoNotifier& operator=(const NoTempoNotifier&) = delete;

    static constexpr double kNoticeSeconds = 7.0;

    // Neither is owned; both must outlive the notifier.
    NoTempoNotifier(NoTempoNotifierHost& host, PlayerStatus& model);
    ~NoTempoNotifier();

    // A new track started playing.
    void notify();
    void showNotifyWindow();
    void hideNotifyWindow();
    // At quit: the notice goes at once, without its fade, and nothing stays scheduled.
    void dismissAtOnce();

    // The notice window while one is shown, for tests and the program's own checks.
    NotifyNoBPMWindow* notifyWindow() const { return mNotifyWindow.get(); }
    View* notifyView() const { return mNotifyView.get(); }
    TextField* notifyNameField() const { return mNameField; }
    TextField* notifyArtistField() const { return mArtistField; }
    TextField* notifyAlbumField() const { return mAlbumField; }
    RatingView* notifyRatingView() const { return mRatingView; }
    ArtworkImageView* notifyArtworkView() const { return mArtworkView; }

private:
    void buildNotifyView();

    NoTempoNotifierHost& mHost;
    PlayerStatus& mModel;
    std::unique_ptr<View> mNotifyView;
    TextField* mNameField{nullptr};
    TextField* mArtistField{nullptr};
    TextField* mAlbumField{nullptr};
    RatingView* mRatingView{nullptr};
    ArtworkImageView* mArtworkView{nullptr};
    NoBPMView* mNoBPMImage{nullptr};
    std::unique_ptr<NotifyNoBPMWindow> mNotifyWindow;
    // Windows on their way out: each goes once its fade is done.
    std::vector<std::unique_ptr<NotifyNoBPMWindow>> mFading;
    // Tasks posted for a fading window find out whether the notifier still exists.
    std::shared_ptr<bool> mAlive{std::make_shared<bool>(true)};
};
