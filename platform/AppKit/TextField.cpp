#include "platform/AppKit/TextField.h"

#include <QPalette>
#include <QValidator>

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
