// The track's star rating (0 to 100, 20 per star, 10 per half star): white stars over grey ones, or
// the no-stars image when unrated. Clicks and drags rate the current track through the controller,
// unless the view is read-only; hovering over an unrated view shows the grey stars. Main thread only.
#pragma once

#include <memory>

#include "platform/AppKit/View.h"

class NSImage;
class RatingViewHost;

class RatingView : public View {
    Q_OBJECT
public:
    static constexpr const char* kTrackingKey = "RatingView";

    explicit RatingView(const NSRect& frame, QWidget* parent = nullptr);

    // The controller; not owned.
    void setController(RatingViewHost* controller) { fController = controller; }

    int rating() const { return mRating; }
    // Redraws only when the value changes.
    void setRating(int rating);
    bool halfStars() const { return mHalfStars; }
    void setHalfStars(bool halfStars) { mHalfStars = halfStars; }
    bool readOnly() const { return mReadOnly; }
    // A read-only view keeps no tracking area and ignores the mouse.
    void setReadOnly(bool readOnly);
    int fontSize() const { return mFontSize; }
    void setFontSize(int fontSize) { mFontSize = fontSize; }
    float starWidth() const { return mStarWidth; }
    void setStarWidth(float starWidth) { mStarWidth = starWidth; }
    bool hovering() const { return mHovering; }

    // Width of the white stars that show a rating.
    float clipWidthForRating(int rating) const;
    // The star (0 to 5) under a point this far from the left edge.
    int starClicked(float x) const;

    void mouseDown(const NSEvent& event) override;
    void mouseDragged(const NSEvent& event) override;
    void mouseEntered(const NSEvent& event) override;
    void mouseExited(const NSEvent& event) override;
    void updateTrackingAreas() override;
    void drawRect(const NSRect& dirtyRect) override;

private:
    void rateAt(const NSEvent& event);

    RatingViewHost* fController{nullptr};
    int mRating{0};
    int mFontSize{12};
    float mStarWidth{12.0f};
    bool mHalfStars{false};
    bool mReadOnly{false};
    bool mHovering{false};
    std::shared_ptr<NSImage> nostars;
    std::shared_ptr<NSImage> nostars_small;
};
