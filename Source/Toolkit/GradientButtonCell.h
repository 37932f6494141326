// The window's dark gradient push button: a rounded grey body, blue when it is the default button
// (key equivalent "\r", so a user sees that Return presses it), shaded while pressed, with its
// title in white, dimmed while the button is disabled. The layer's button is cell and control in
// one, so this class is both. Main thread only.
#pragma once

#include "Source/Toolkit/CellGradients.h"
#include "platform/AppKit/Button.h"

class GradientButtonCell : public Button {
    Q_OBJECT
public:
    explicit GradientButtonCell(QWidget* parent = nullptr);
    GradientButtonCell(const NSRect& frame, QWidget* parent);

    bool isDefaultButton() const { return keyEquivalent() == "\r"; }
    const CellGradients& gradients() const { return mGradients; }

    void drawRect(const NSRect& dirtyRect) override;

private:
    CellGradients mGradients = CellGradients::constructGradients();
};
