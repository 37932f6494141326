// A view that shows an image, scaled as asked, through its layer: the image turns about the
// layer's anchor and fades with its opacity, animations included.
#pragma once

#include <memory>

#include "platform/AppKit/Layer.h"
#include "platform/AppKit/View.h"

class NSImage;

enum class NSImageScaling { ProportionallyDown, AxesIndependently, None, ProportionallyUpOrDown };

class ImageView : public View {
    Q_OBJECT
public:
    explicit ImageView(QWidget* parent = nullptr);
    ImageView(const NSRect& frame, QWidget* parent);

    std::shared_ptr<NSImage> image() const { return mImage; }
    void setImage(std::shared_ptr<NSImage> image);
    NSImageScaling imageScaling() const { return mScaling; }
    void setImageScaling(NSImageScaling scaling);

    CALayer& layer() { return mLayer; }
    const CALayer& layer() const { return mLayer; }

    // Where the image goes in the bounds under the scaling rule.
    NSRect imageRect() const;
    void drawRect(const NSRect& dirtyRect) override;

private:
    std::shared_ptr<NSImage> mImage;
    NSImageScaling mScaling{NSImageScaling::ProportionallyDown};
    CALayer mLayer{*this};
};
