// What the rating view asks of the main window after a click or drag: rate the player's current track
// (nothing when there is none), then hear of the change. Main thread only.
#pragma once

class RatingViewHost {
public:
    virtual ~RatingViewHost() = default;

    // Writes the rating (0 to 100) into the player's current track.
    virtual void rateCurrentTrack(int rating) = 0;
    // Told after the track was rated.
    virtual void ratingChanged(int rating) = 0;
};
