// The one drawing helper of the views: a QPainter seen in the y-up convention, where the origin is
// the bottom-left corner of the view. Paths, fills, clips and transforms work in those coordinates;
// images and text are drawn upright at the y-up rectangles and points they are given.
#pragma once

#include <QPainter>
#include <QPainterPath>
#include <string>
#include <vector>

#include "platform/AppKit/Color.h"
#include "platform/AppKit/Font.h"
#include "platform/AppKit/Geometry.h"

class QImage;

enum class NSCompositingOperation { Copy, SourceOver };
enum class NSImageInterpolation { Default, None, Low, High };

class GraphicsContext {
public:
    GraphicsContext(const GraphicsContext&) = delete;
    GraphicsContext& operator=(const GraphicsContext&) = delete;

    // Draws into the painter's device, whose height gives the flip. The painter must outlive this.
    GraphicsContext(QPainter& painter, CGFloat height);
    ~GraphicsContext();

    // The context of the drawRect under way (the innermost one), or nullptr outside drawing.
    static GraphicsContext* currentContext();

    QPainter& painter() { return mPainter; }
    CGFloat height() const { return mHeight; }

    void saveGraphicsState();
    void restoreGraphicsState();

    void setShouldAntialias(bool on);
    void setImageInterpolation(NSImageInterpolation interpolation);
    void setCompositingOperation(NSCompositingOperation operation);
    void setFillColor(const NSColor& color) { mState.fill = color; }
    void setStrokeColor(const NSColor& color) { mState.stroke = color; }
    const NSColor& fillColor() const { return mState.fill; }
    const NSColor& strokeColor() const { return mState.stroke; }

    void translate(CGFloat dx, CGFloat dy);
    void rotateByDegrees(CGFloat degrees);  // counter-clockwise, as y-up angles turn

    void fillRect(const NSRect& rect);
    void fillPath(const QPainterPath& path);
    void strokePath(const QPainterPath& path, CGFloat lineWidth, Qt::PenJoinStyle join = Qt::MiterJoin,
                    Qt::PenCapStyle cap = Qt::FlatCap);
    void fillPathWithBrush(const QPainterPath& path, const QBrush& brush);
    // Intersects the clip with the path or the rectangle; restored with the graphics state.
    void clipToPath(const QPainterPath& path);
    void clipToRect(const NSRect& rect);

    // Draws the part `from` (y-up, in image points; empty for the whole image) of an image whose
    // size in points is `imageSize` into `rect`, at the opacity `fraction`.
    void drawImage(const QImage& image, NSSize imageSize, const NSRect& rect, const NSRect& from,
                   NSCompositingOperation operation, CGFloat fraction);

    // Draws text with its line box's bottom-left corner at the point.
    void drawString(const std::string& text, NSPoint point, const TextAttributes& attributes);
    // Draws text from the top-left corner of the rectangle, clipped to it.
    void drawStringInRect(const std::string& text, const NSRect& rect, const TextAttributes& attributes);

private:
    struct State {
        NSColor fill = NSColor::blackColor();
        NSColor stroke = NSColor::blackColor();
        NSImageInterpolation interpolation = NSImageInterpolation::Default;
    };

    QPainter& mPainter;
    CGFloat mHeight;
    State mState;
    std::vector<State> mSaved;
    GraphicsContext* mOuter;
};

// The current context's fills, as the drawing code writes them.
void NSRectFill(const NSRect& rect);
void NSRectFillUsingOperation(const NSRect& rect, NSCompositingOperation operation);
void NSFrameRectWithWidth(const NSRect& rect, CGFloat width);
