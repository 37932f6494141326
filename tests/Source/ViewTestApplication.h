// The QApplication the view tests need (the shared test fixture), and reading rendered views at
// y-up points.
#pragma once

#include <QColor>
#include <QImage>

#include "tests/support/TestApplication.h"

inline QApplication& viewTestApplication() {
    return testApplication();
}

// The pixel at a y-up point of a rendered view, un-premultiplied.
inline QColor pixelAt(const QImage& image, int x, int y) {
    return image.pixelColor(x, image.height() - 1 - y);
}
