#include "platform/AppKit/TextField.h"

#include <QFontMetricsF>
#include <QPalette>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QValidator>
#include <algorithm>

#include "platform/AppKit/Formatter.h"
#include "platform/AppKit/WidgetFrame.h"

namespace {
// Puts a formatter in the line edit's path of edits.
class FormatterValidator : public QValidator {
public:
    explicit FormatterValidator(std::shared_ptr<const NSFormatter> formatter)
        : mFormatter(std::move(formatter)) {}

    State validate(QString& input, int& position) const override {
        std::string replacement = input.toStdString();
        std::string error;
        if (!mFormatter->isPartialStringValid(input.toStdString(), &replacement, &error)) return Invalid;
        if (replacement != input.toStdString()) {
            input = QString::fromStdString(replacement);
            position = std::min(position, static_cast<int>(input.size()));
        }
        return Acceptable;
    }

private:
    std::shared_ptr<const NSFormatter> mFormatter;
};
}  // namespace

TextField::TextField(QWidget* parent) : QLineEdit(parent) {
    QLineEdit::setFont(mFont.toQFont());
    connect(this, &QLineEdit::editingFinished, this, [this] {
        if (action && isEditable()) action();
    });
}

TextField::~TextField() = default;

void TextField::setStringValue(const std::string& value) {
    setText(QString::fromStdString(value));
    setCursorPosition(0);
}

void TextField::setFormatter(std::shared_ptr<const NSFormatter> formatter) {
    auto validator = formatter ? std::make_unique<FormatterValidator>(formatter) : nullptr;
    setValidator(validator.get());
    mValidator = std::move(validator);
    mFormatter = std::move(formatter);
}

int TextField::intValue() const {
    bool ok = false;
    const int value = text().trimmed().toInt(&ok);
    return ok ? value : 0;
}

void TextField::setEditable(bool editable) {
    setReadOnly(!editable);
    setFocusPolicy(editable ? Qt::StrongFocus : Qt::NoFocus);
}

void TextField::setDrawsBackground(bool draws) {
    QPalette p = palette();
    if (!draws) p.setColor(QPalette::Base, Qt::transparent);
    setPalette(p);
    setAutoFillBackground(draws);
}

void TextField::setTextColor(const NSColor& color) {
    QPalette p = palette();
    p.setColor(QPalette::Text, color.toQColor());
    setPalette(p);
}

void TextField::setNSFont(const NSFont& font) {
    mFont = font;
    QLineEdit::setFont(font.toQFont());
}

std::optional<std::pair<CGFloat, CGFloat>> TextField::drawnTextSpan() const {
    const QString value = text();
    if (value.isEmpty()) return std::nullopt;
    // As the line edit lays its text out: inside its contents and text margins, less its own
    // 2-point margin on each side, aligned by the text's direction.
    constexpr CGFloat kLineEditMargin = 2;
    QStyleOptionFrame panel;
    initStyleOption(&panel);
    const QRect contents =
        style()->subElementRect(QStyle::SE_LineEditContents, &panel, this).marginsRemoved(textMargins());
    const CGFloat left = contents.left() + kLineEditMargin;
    const CGFloat room = std::max<CGFloat>(0, contents.width() - 2 * kLineEditMargin);
    const CGFloat width = std::min<CGFloat>(QFontMetricsF(font()).horizontalAdvance(value), room);
    const Qt::LayoutDirection direction = value.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight;
    const Qt::Alignment horizontal =
        QStyle::visualAlignment(direction, alignment()) & Qt::AlignHorizontal_Mask;
    if (horizontal & Qt::AlignRight) return std::pair{left + room - width, left + room};
    if (horizontal & Qt::AlignHCenter) return std::pair{left + (room - width) / 2, left + (room + width) / 2};
    return std::pair{left, left + width};
}

NSRect TextField::frameRect() const {
    return frameOfWidget(*this);
}

void TextField::setFrameRect(const NSRect& frame) {
    setFrameOfWidget(*this, frame);
}

void TextField::resizeEvent(QResizeEvent* event) {
    QLineEdit::resizeEvent(event);
    if (mPostsFrameChanges) emit frameDidChange();
}

void TextField::moveEvent(QMoveEvent* event) {
    QLineEdit::moveEvent(event);
    if (mPostsFrameChanges) emit frameDidChange();
}
