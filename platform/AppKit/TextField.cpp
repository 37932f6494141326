#include "platform/AppKit/TextField.h"

#include <QPalette>

#include "platform/AppKit/WidgetFrame.h"

TextField::TextField(QWidget* parent) : QLineEdit(parent) {
    QLineEdit::setFont(mFont.toQFont());
    connect(this, &QLineEdit::editingFinished, this, [this] {
        if (action && isEditable()) action();
    });
}

void TextField::setStringValue(const std::string& value) {
    setText(QString::fromStdString(value));
    setCursorPosition(0);
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
