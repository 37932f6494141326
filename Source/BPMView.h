// The tempo area's background: the active image while the window is key, else the inactive one,
// stretched over the bounds. It redraws when its window becomes or stops being key.
#pragma once

#include <QMetaObject>
#include <memory>

#include "platform/AppKit/View.h"

class NSImage;

class BPMView : public View {
    Q_OBJECT
public:
    explicit BPMView(const NSRect& frame, QWidget* parent = nullptr);

    // Starts following the key state of the window it now lies in.
    void awakeFromNib();

    void drawRect(const NSRect& dirtyRect) override;

private:
    std::shared_ptr<NSImage> background_active;
    std::shared_ptr<NSImage> background_inactive;
    QMetaObject::Connection mBecameKey;
    QMetaObject::Connection mResignedKey;
};
