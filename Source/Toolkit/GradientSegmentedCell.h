// The two-part gradient segmented button of the tempo controls (halve/double, minus/plus): the
// gradient button's look split by a divider, the pressed half shaded, the labels dimmed while
// disabled. Its action goes out on
// mouse-down, while highlightedSegment names the half pressed; releasing clears it. The layer's
// segmented control is cell and control in one, so this class is both. Main thread only.
#pragma once

#include "Source/Toolkit/CellGradients.h"
#include "platform/AppKit/SegmentedControl.h"

class GradientSegmentedCell : public SegmentedControl {
    Q_OBJECT
public:
    explicit GradientSegmentedCell(QWidget* parent = nullptr);
    GradientSegmentedCell(const NSRect& frame, QWidget* parent);

    // A half of the frame as the press shade covers it.
    NSRect shadeRect(int segment) const;

    void drawRect(const NSRect& dirtyRect) override;

private:
    CellGradients mGradients = CellGradients::constructGradients();
};
