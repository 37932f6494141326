// The four-segment metronome control: a grey rounded bar split in quarters, each with a 10-point
// image; the segment under a press darkens until the mouse goes up. The layer's segmented control
// is cell and control in one, so this class is both. Main thread only.
#pragma once

#include "platform/AppKit/SegmentedControl.h"

class MetronomeSegmentedCell : public SegmentedControl {
    Q_OBJECT
public:
    static constexpr int kSegments = 4;

    explicit MetronomeSegmentedCell(QWidget* parent = nullptr);
    MetronomeSegmentedCell(const NSRect& frame, QWidget* parent);

    // The rectangle of a segment's quarter of the frame.
    NSRect quarterRect(int segment) const;
    // Where a segment's image goes.
    NSRect imageRect(int segment) const;

    void drawRect(const NSRect& dirtyRect) override;
};
