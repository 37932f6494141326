// A text field: editable, or a plain label when neither editable nor bordered. It reports frame
// changes (frameDidChange) when asked to, as the name field's neighbours follow its width.
#pragma once

#include <QLineEdit>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "platform/AppKit/Color.h"
#include "platform/AppKit/Font.h"
#include "platform/AppKit/Geometry.h"

class NSFormatter;
class QValidator;

// A cell's background style.
inline constexpr int NSBackgroundStyleLight = 0;
inline constexpr int NSBackgroundStyleDark = 1;
inline constexpr int NSBackgroundStyleRaised = 2;
inline constexpr int NSBackgroundStyleLowered = 3;

class TextField : public QLineEdit {
    Q_OBJECT
public:
    explicit TextField(QWidget* parent = nullptr);
    ~TextField() override;

    std::string stringValue() const { return text().toStdString(); }
    void setStringValue(const std::string& value);
    int intValue() const;
    void setIntValue(int value) { setStringValue(std::to_string(value)); }

    bool isEditable() const { return !isReadOnly(); }
    void setEditable(bool editable);
    void setBordered(bool bordered) { setFrame(bordered); }
    void setDrawsBackground(bool draws);
    void setTextColor(const NSColor& color);
    void setNSFont(const NSFont& font);
    const NSFont& nsFont() const { return mFont; }
    void setAlignment(Qt::Alignment alignment) { QLineEdit::setAlignment(alignment); }
    // The cell's background style (NSBackgroundStyle...); kept for the drawing.
    void setBackgroundStyle(int style) { mBackgroundStyle = style; }
    int backgroundStyle() const { return mBackgroundStyle; }

    using QLineEdit::setToolTip;
    void setToolTip(const std::string& text) { QLineEdit::setToolTip(QString::fromStdString(text)); }

    // Where the text is drawn across the field, from its left edge: [left, right]; nullopt without
    // text. A right-to-left text (Hebrew, Arabic) is aligned by its own direction, so in a
    // left-aligned field it lies against the right edge.
    std::optional<std::pair<CGFloat, CGFloat>> drawnTextSpan() const;

    // y-up in the superview.
    NSRect frameRect() const;
    void setFrameRect(const NSRect& frame);
    void setPostsFrameChangedNotifications(bool posts) { mPostsFrameChanges = posts; }

    // Typed edits the formatter refuses never reach the field; text set in code is not checked.
    void setFormatter(std::shared_ptr<const NSFormatter> formatter);
    const NSFormatter* formatter() const { return mFormatter.get(); }

    // Sent when editing ends with Return or by leaving the field.
    std::function<void()> action;

signals:
    void frameDidChange();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    NSFont mFont = NSFont::systemFontOfSize(13);
    std::shared_ptr<const NSFormatter> mFormatter;
    std::unique_ptr<QValidator> mValidator;
    int mBackgroundStyle{0};
    bool mPostsFrameChanges{false};
};
