// The track's stored BPM in a small rounded badge beside its name: blue with a check mark when this
// program set that BPM, grey otherwise, and a question mark when the track has none. Draws nothing
// without a current track. Main thread only.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>

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

// Where the badge goes beside the track's name (frames y-up in one superview): on the name's line,
// just after the right end of the text as the name field draws it (`drawnText`, from the field's
// left edge), so also beside a right-to-left name drawn against the field's right edge; a little
// in from the field's left when there is no name.
NSPoint BPMBadgeOriginBesideName(const NSRect& nameFrame,
                                 std::optional<std::pair<CGFloat, CGFloat>> drawnText);
