#include "Source/TapView.h"

#include <cmath>

#include "Source/MetronomeView.h"
#include "Source/TapViewHost.h"
#include "platform/AppKit/Color.h"
#include "platform/AppKit/Font.h"
#include "platform/AppKit/GraphicsContext.h"
#include "platform/AppKit/Image.h"
#include "platform/Foundation/Bundle.h"

namespace {

constexpr const char* kMinRunningBPMKey = "MinRunningBPM";
constexpr const char* kMaxRunningBPMKey = "MaxRunningBPM";

// Keys of the "Localizable" table.
constexpr const char* kClickHere = "Click Here";
constexpr const char* kOrTapAnyKey = "Or Tap Any Key";
constexpr const char* kContinueClicking = "Continue clicking";
constexpr const char* kKeepTapping = "Keep tapping";

constexpr int kSettledAccuracy = 100;
constexpr char16_t kReturnCharacter = 13;
constexpr NSSize kMetronomeSize{36, 36};

// The prompts are a soft watermark; the tempo is the result a user reads, above 4.5 : 1 on white.
constexpr CGFloat kTempoGrey = 0.42;

TextAttributes promptAttributes(CGFloat size) {
    return {NSFont::boldSystemFontOfSize(size), NSColor::colorWithCalibratedWhite(0.82, 1), 0};
}

TextAttributes tempoAttributes() {
    return {NSFont::boldSystemFontOfSize(64), NSColor::colorWithCalibratedWhite(kTempoGrey, 1), 0};
}

// Draws the text centred horizontally with the middle of its line box at `middle`; answers the box.
NSRect drawCentred(GraphicsContext& context, const std::string& text, CGFloat width, CGFloat middle,
                   const TextAttributes& attributes) {
    const NSSize size = sizeWithAttributes(text, attributes);
    const NSRect box =
        NSMakeRect((width - size.width) / 2, middle - size.height / 2, size.width, size.height);
    context.drawString(text, box.origin, attributes);
    return box;
}

}  // namespace

TapView::TapView(const NSRect& frame, QWidget* parent, IntegerDefaultLookup defaults)
    : View(frame, parent),
      mFillGradient(NSColor::colorWithCalibratedRed(0.86, 0.87, 0.90, 1),
                    NSColor::colorWithCalibratedRed(0.20, 0.55, 0.95, 1)),
      mDefaults(std::move(defaults)) {
    initMetronome();
}

void TapView::awakeFromNib() {
    mBeatNum = 0;
    updateMinMaxBPM();
    mUserIsClicking = false;
}

void TapView::updateMinMaxBPM() {
    mMinRunningBPM = kDefaultMinRunningBPM;
    mMaxRunningBPM = kDefaultMaxRunningBPM;
    if (!mDefaults) return;
    if (const std::optional<long> max = mDefaults(kMaxRunningBPMKey)) mMaxRunningBPM = static_cast<int>(*max);
    if (const std::optional<long> min = mDefaults(kMinRunningBPMKey)) mMinRunningBPM = static_cast<int>(*min);
}

void TapView::initMetronome() {
    if (mMetronomeView) return;
    mMetronomeView = new MetronomeView(NSRect{}, this, mDefaults);
    addSubview(mMetronomeView);
}

void TapView::hideMetronome() {
    mMetronomeView->hide();
}

void TapView::updateMetronomeStyle() {
    mMetronomeView->updateStyle();
}

void TapView::updateBPM() {
    setNeedsDisplay();
}

void TapView::pulseBPM() {
    mMetronomeView->toggle();
}

void TapView::animateBPM(double secondsPerBeat) {
    // A late request after a stop (the metronome's tempo cleared) carries no beat; swinging on it
    // would leave the arm moving with nothing to stop it.
    if (!(secondsPerBeat > 0) || !std::isfinite(secondsPerBeat)) return;
    mMetronomeView->animate(secondsPerBeat);
}

void TapView::stopAnimation() {
    mMetronomeView->stopArm();
}

void TapView::mouseDown(const NSEvent&) {
    const uint64_t t = mClock();
    tap(t, true);
}

void TapView::keyDown(const NSEvent& event) {
    const uint64_t t = mClock();
    if (!fController) return;
    const char16_t c = event.firstCharacter();
    if (fController->assignBPMIsDefault() && (c == kReturnCharacter || c == NSEnterCharacter) &&
        fController->simulateAssignBPMClick(event))
        return;
    if (fController->waitingOnSimulatedKeypress()) {
        fController->setWaitingOnSimulatedKeypress(false);
        return;
    }
    tap(t, false);
}

void TapView::tap(uint64_t milliseconds, bool byMouse) {
    if (!fController) return;
    mBeatNum += 1;
    if (mPlayMetronomeClick) {
        fController->playMetronomeClickForBeat(mBeatNum);
        fController->pulse();
    }
    if (mBeatNum >= fController->alternateBeat()) mBeatNum = 0;
    mUserIsClicking = byMouse;
    fController->processTap(milliseconds);
}

void TapView::drawRect(const NSRect&) {
    GraphicsContext* context = GraphicsContext::currentContext();
    if (!context) return;
    const NSRect b = bounds();
    NSColor::whiteColor().setFill();
    NSRectFill(b);
    const int d = fController ? fController->currentDisplayBPM() : 0;
    const int a = fController ? fController->currentAccuracy() : 0;
    const CGFloat w = NSWidth(b), h = NSHeight(b);

    if (d == 0) {
        const TextAttributes attributes = promptAttributes(24);
        if (a == 0) {
            drawCentred(*context, NSLocalizedString(kClickHere, "tap area, first line before any tap"), w,
                        h * 2 / 3 + 4, attributes);
            drawCentred(*context, NSLocalizedString(kOrTapAnyKey, "tap area, second line before any tap"), w,
                        h / 3 - 4, attributes);
        } else {
            const char* prompt = mUserIsClicking ? kContinueClicking : kKeepTapping;
            drawCentred(*context, NSLocalizedString(prompt, "tap area, while measuring"), w, h / 2,
                        attributes);
        }
        mMetronomeView->hide();
        return;
    }

    const NSRect digits = drawCentred(*context, std::to_string(d), w, h / 2, tempoAttributes());
    if (a == kSettledAccuracy) {
        context->saveGraphicsState();
        context->setImageInterpolation(NSImageInterpolation::High);
        if (const auto check = NSImage::imageNamed("checkmarkgray.png"))
            check->drawInRect(NSMakeRect(NSMaxX(digits) - 6, NSMaxY(digits) - 18, 14, 14));
        context->restoreGraphicsState();
        const bool running = (d >= mMinRunningBPM && d <= mMaxRunningBPM) ||
                             (d >= mMinRunningBPM / 2 && d <= mMaxRunningBPM / 2);
        if (running)
            if (const auto runner = NSImage::imageNamed("runnert.png"))
                runner->drawInRect(NSMakeRect(NSMaxX(digits) - 4, NSMinY(digits) + 8, 32, 32), {},
                                   NSCompositingOperation::SourceOver, 0.6);
    }
    mMetronomeView->setFrame(NSMakeRect(std::floor((w - kMetronomeSize.width) / 2), NSMinY(digits) - 30,
                                        kMetronomeSize.width, kMetronomeSize.height));
    mMetronomeView->show();
}
