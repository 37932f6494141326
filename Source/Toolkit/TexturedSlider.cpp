#include "Source/Toolkit/TexturedSlider.h"

#include <algorithm>
#include <cmath>

#include "platform/AppKit/Button.h"
#include "platform/AppKit/Image.h"

namespace {
struct IndicatorLook {
    int index;
    const char* minImage;
    const char* maxImage;
    // Offsets from the top-left corner, as the layouts give them; the maximum's x is counted
    // from the right end less the indicator's width.
    NSPoint minOffset;
    NSPoint maxOffset;
};

constexpr IndicatorLook kLooks[] = {
    {TexturedSlider::kPhotoIndicator,
     "TexturedSliderPhotoSmall.tif",
     "TexturedSliderPhotoLarge.tif",
     {6, 3},
     {4, 3}},
    {TexturedSlider::kSpeakerIndicator,
     "TexturedSliderSpeakerQuiet.png",
     "TexturedSliderSpeakerLoud.png",
     {18, 4},
     {0, 4}},
};

const IndicatorLook* lookFor(int index) {
    for (const IndicatorLook& look : kLooks)
        if (look.index == index) return &look;
    return nullptr;
}
}  // namespace

TexturedSlider::TexturedSlider(QWidget* parent)
    : Slider(parent),
      mTrackLeft(NSImage::imageNamed("TexturedSliderTrackLeft.tiff")),
      mTrackFill(NSImage::imageNamed("TexturedSliderTrackFill.tiff")),
      mTrackRight(NSImage::imageNamed("TexturedSliderTrackRight.tiff")),
      mKnobPressed(NSImage::imageNamed("TexturedSliderThumbP.tiff")),
      mKnobNormal(NSImage::imageNamed("TexturedSliderThumbN.tiff")) {
    if (mKnobNormal) setKnobThickness(mKnobNormal->size().width);
}

TexturedSlider::~TexturedSlider() = default;

std::unique_ptr<Button> TexturedSlider::makeIndicatorButton(const char* image,
                                                            void (TexturedSlider::*action)()) {
    auto button = std::make_unique<Button>(this);
    button->setBordered(false);
    button->setImage(NSImage::imageNamed(image));
    const NSSize size = button->image() ? button->image()->size() : NSSize{16, 16};
    button->setFrameSize(size);
    button->setEnabled(isEnabled());
    button->action = [this, action] { (this->*action)(); };
    button->show();
    return button;
}

void TexturedSlider::setIndicatorIndex(int index) {
    mMinButton.reset();
    mMaxButton.reset();
    const bool had = mIndicatorIndex != kNoIndicator;
    NSRect f = frame();
    if ((index == kPhotoIndicator || index == kSpeakerIndicator) && !had) {
        f.size.width += 2 * kIndicatorWidth;
        f.origin.x -= kIndicatorWidth;
        setFrame(f);
    } else if (index == kNoIndicator && had) {
        f.size.width -= 2 * kIndicatorWidth;
        f.origin.x += kIndicatorWidth;
        setFrame(f);
    }
    if (const IndicatorLook* look = lookFor(index)) {
        mMinButton = makeIndicatorButton(look->minImage, &TexturedSlider::setSliderToMinimum);
        mMaxButton = makeIndicatorButton(look->maxImage, &TexturedSlider::setSliderToMaximum);
        mIndicatorIndex = index;
    } else {
        mIndicatorIndex = kNoIndicator;
    }
    placeIndicatorButtons();
    setNeedsDisplay();
}

void TexturedSlider::placeIndicatorButtons() {
    const NSRect b = bounds();
    const IndicatorLook* look = lookFor(mIndicatorIndex);
    if (!look) return;
    const CGFloat h = NSHeight(b);
    if (mMinButton) {
        const NSSize s = mMinButton->frame().size;
        // A wide image never reaches into the bar, where it would take clicks meant for the knob.
        const CGFloat x = std::min(look->minOffset.x, kIndicatorWidth - s.width);
        mMinButton->setFrame(NSMakeRect(x, h - look->minOffset.y - s.height, s.width, s.height));
    }
    if (mMaxButton) {
        const NSSize s = mMaxButton->frame().size;
        mMaxButton->setFrame(NSMakeRect(NSWidth(b) - kIndicatorWidth + look->maxOffset.x,
                                        h - look->maxOffset.y - s.height, s.width, s.height));
    }
}

NSRect TexturedSlider::sliderCellRect() const {
    const NSRect b = bounds();
    if (!lookFor(mIndicatorIndex)) return b;
    return NSMakeRect(kIndicatorWidth, 0, std::max(0.0, NSWidth(b) - 2 * kIndicatorWidth), NSHeight(b));
}

void TexturedSlider::resizeEvent(QResizeEvent* event) {
    Slider::resizeEvent(event);
    placeIndicatorButtons();
}

void TexturedSlider::setTrackHeight(int height) {
    mTrackHeight = height ? 1 : 0;
    setNeedsDisplay();
}

void TexturedSlider::setEnabled(bool enabled) {
    QWidget::setEnabled(enabled);
    if (mMinButton) mMinButton->setEnabled(enabled);
    if (mMaxButton) mMaxButton->setEnabled(enabled);
    setNeedsDisplay();
}

void TexturedSlider::setSliderToMinimum() {
    setDoubleValue(minValue());
    sendAction();
}

void TexturedSlider::setSliderToMaximum() {
    setDoubleValue(maxValue());
    sendAction();
}

NSRect TexturedSlider::trackRect() const {
    const NSRect cell = sliderCellRect();
    const CGFloat height = (mTrackFill ? mTrackFill->size().height : 0) + mTrackHeight;
    return NSMakeRect(NSMinX(cell) + 5, std::round(NSMidY(cell) - height / 2), NSWidth(cell) - 9, height);
}

void TexturedSlider::drawRect(const NSRect&) {
    NSDrawThreePartImage(trackRect(), mTrackLeft.get(), mTrackFill.get(), mTrackRight.get(), false,
                         NSCompositingOperation::SourceOver, isEnabled() ? 1.0 : 0.5);
    const std::shared_ptr<NSImage>& knob = isPressed() ? mKnobPressed : mKnobNormal;
    if (!knob) return;
    const NSRect k = knobRect();
    const NSSize s = knob->size();
    knob->drawInRect(NSMakeRect(NSMinX(k) + std::round((NSWidth(k) - s.width) / 2),
                                NSMinY(k) + std::round((NSHeight(k) - s.height) / 2), s.width, s.height));
}

void TexturedSlider::mouseDown(const NSEvent& event) {
    Slider::mouseDown(event);
    setNeedsDisplay();  // the pressed knob, also when the press does not move it
}

void TexturedSlider::scrollWheel(const NSEvent& event) {
    const double range = maxValue() - minValue();
    const double size = isVertical() ? NSHeight(frame()) : NSWidth(frame());
    if (range <= 0 || size <= 0) return;
    const double position = (doubleValue() - minValue()) / range * size + event.deltaY - event.deltaX;
    setFloatValue(static_cast<float>(position / size * range + minValue()));
    sendAction();
}
