#include "Source/Toolkit/LinkTextField.h"

LinkTextField::LinkTextField(QWidget* parent) : TextField(parent) {
    setCursor(Qt::PointingHandCursor);
}
