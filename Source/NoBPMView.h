// The application's icon inside the no-tempo notice panel.
#pragma once

#include "platform/AppKit/View.h"

class NoBPMView : public View {
public:
    using View::View;
    void drawRect(const NSRect& dirtyRect) override;
};
