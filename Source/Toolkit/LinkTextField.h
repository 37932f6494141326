// A text field that reads as a link: the pointing hand over its whole bounds.
#pragma once

#include "platform/AppKit/TextField.h"

class LinkTextField : public TextField {
    Q_OBJECT
public:
    explicit LinkTextField(QWidget* parent = nullptr);
};
