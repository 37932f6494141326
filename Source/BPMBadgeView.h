// The track's stored BPM in a small rounded badge beside its name: blue with a check mark when this
// program set that BPM, grey otherwise, and a question mark when the track has none. Draws nothing
// without a current track. Main thread only.
#pragma once

#include <memory>
#include <string>

#include "platform/AppKit/Color.h"
#include "platform/AppKit/Font.h"
#include "platform/AppKit/View.h"

class BPMBadgeViewHost;
class NSImage;

class BPMBadgeView : public View {
    Q_OBJECT
public:
    static constexpr CGFloat kBadgeHeight = 15;

    explicit BPMBadgeView(const NSRect& frame, QWidget* parent = nullptr);

    // The controller; not owned.
    void setController(BPMBadgeViewHost* controller) { fController = controller; }

    int bpm() const { return mBpm; }
    // Each setter redraws only on a change.
    void setBpm(int bpm);
    bool assigned() const { return mAssigned; }
    void setAssigned(bool assigned);

    // The badge's width for the current BPM and confidence.
    CGFloat badgeWidth(bool confident) const;

    void drawRect(const NSRect& dirtyRect) override;

private:
    BPMBadgeViewHost* fController{nullptr};
    int mBpm{0};
    bool mAssigned{false};
    std::string checkMarkString;
    NSColor backColor;
    NSColor backColorConfident;
    TextAttributes bpmAttributes;
    TextAttributes markAttributes;
    TextAttributes questionAttributes;
    std::shared_ptr<NSImage> questionMark;
};
