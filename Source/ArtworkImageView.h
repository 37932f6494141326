// The track's artwork inside a frame image: the frame follows the window's key state, the artwork
// is drawn 3 points in from each edge and clipped to rounded corners.
#pragma once

#include <QMetaObject>
#include <memory>

#include "platform/AppKit/ImageView.h"

class NSImage;

class ArtworkImageView : public ImageView {
    Q_OBJECT
public:
    explicit ArtworkImageView(const NSRect& frame, QWidget* parent = nullptr);

    // Starts following the key state of the window it now lies in.
    void awakeFromNib();

    bool drawBorder() const { return mDrawBorder; }
    void setDrawBorder(bool drawBorder) { mDrawBorder = drawBorder; }

    void drawRect(const NSRect& dirtyRect) override;

private:
    std::shared_ptr<NSImage> frame_active;
    std::shared_ptr<NSImage> frame_inactive;
    bool mDrawBorder{true};
    QMetaObject::Connection mBecameKey;
    QMetaObject::Connection mResignedKey;
};
