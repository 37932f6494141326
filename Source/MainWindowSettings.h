// The main window's settings and the controls that show them: the floating window level, half
// stars on the rating, the skip buttons' tooltips, the metronome button's image, and the tap
// area's tempo range and metronome style. The preference panes announce each change with a
// notification that the main window passes on here. Main thread only.
#pragma once

class Button;
class MainWindowSettingsHost;
class RatingView;
class TapView;
class Window;

class MainWindowSettings {
public:
    MainWindowSettings(const MainWindowSettings&) = delete;
    MainWindowSettings& operator=(const MainWindowSettings&) = delete;

    // The window and its views; none is owned, all must outlive the settings.
    struct Outlets {
        Window& window;
        RatingView& ratingView;
        TapView& tapView;
        Button& metronomeButton;
        Button& skipForwardButton;
        Button& skipNextButton;
    };

    // The host is not owned and must outlive the settings.
    MainWindowSettings(MainWindowSettingsHost& host, Outlets outlets);

    // "MakeFloatingWindow": the floating level, the window brought forward as key; else the
    // normal level.
    void windowStyleChanged();
    // Half stars when "AllowHalfStarRating" is on and the player's "allow-half-stars" is true.
    void halfStarRatingChanged();
    // The metronome button shows whether the metronome plays.
    void updateMetronome();
    void updateSkipChanged() { setupSkipTooltips(); }
    // The skip buttons tell the seek step they will use.
    void setupSkipTooltips();
    void updateMinMaxBPM();
    void updateMetronomeStyle();

private:
    MainWindowSettingsHost& fHost;
    Outlets fOutlets;
};
