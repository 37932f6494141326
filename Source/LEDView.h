// A view of the main window's layout beside the tap area; it has no behaviour of its own.
#pragma once

#include "platform/AppKit/View.h"

class LEDView : public View {
    Q_OBJECT
public:
    using View::View;
};
