// A row of segments, each with a width, a label, an image and a tag. The segment under a press is
// the highlighted segment until the mouse goes up; the action is sent on mouse-down when the
// control is set to, else on a release inside. Segments are momentary: a press selects its
// segment only until the mouse goes up. Subclasses draw their own look in drawRect.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/AppKit/View.h"

class NSImage;

class SegmentedControl : public View {
    Q_OBJECT
public:
    explicit SegmentedControl(int segmentCount = 2, QWidget* parent = nullptr);

    int segmentCount() const { return static_cast<int>(mSegments.size()); }
    void setSegmentCount(int count);
    // A width of 0 shares the room left by the others evenly.
    void setWidth(CGFloat width, int segment);
    CGFloat widthForSegment(int segment) const;
    void setLabel(const std::string& label, int segment);
    std::string labelForSegment(int segment) const;
    void setImage(std::shared_ptr<NSImage> image, int segment);
    std::shared_ptr<NSImage> imageForSegment(int segment) const;
    void setTag(long tag, int segment);
    long tagForSegment(int segment) const;

    int selectedSegment() const { return mSelected; }
    void setSelectedSegment(int segment);
    // The segment pressed and not yet released, or -1.
    int highlightedSegment() const { return mHighlighted; }
    bool isHighlighted() const { return mHighlighted >= 0; }
    // The segment at a point of the view, walking the widths from the left; -1 when none.
    int segmentAtPoint(NSPoint point) const;

    void setSendsActionOnMouseDown(bool onDown) { mActionOnMouseDown = onDown; }
    bool sendsActionOnMouseDown() const { return mActionOnMouseDown; }
    std::function<void()> action;

    void drawRect(const NSRect& dirtyRect) override;
    void mouseDown(const NSEvent& event) override;
    void mouseDragged(const NSEvent& event) override;
    void mouseUp(const NSEvent& event) override;

private:
    struct Segment {
        CGFloat width{0};
        std::string label;
        std::shared_ptr<NSImage> image;
        long tag{0};
    };
    bool valid(int segment) const { return segment >= 0 && segment < segmentCount(); }

    std::vector<Segment> mSegments;
    int mSelected{-1};
    int mHighlighted{-1};
    bool mActionOnMouseDown{false};
};
