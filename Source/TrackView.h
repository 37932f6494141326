// The track area's background: its image stretched over the bounds, whatever the window's key state.
#pragma once

#include <memory>

#include "platform/AppKit/View.h"

class NSImage;

class TrackView : public View {
    Q_OBJECT
public:
    explicit TrackView(const NSRect& frame, QWidget* parent = nullptr);

    void drawRect(const NSRect& dirtyRect) override;

private:
    std::shared_ptr<NSImage> background_active;
    std::shared_ptr<NSImage> background_inactive;
};
