// The QApplication the view tests need, on the offscreen platform, from the start of the test run
// to its end; and reading rendered views at y-up points.
#pragma once

#include <QApplication>
#include <QColor>
#include <QImage>

QApplication& viewTestApplication();

// The pixel at a y-up point of a rendered view, un-premultiplied.
inline QColor pixelAt(const QImage& image, int x, int y) {
    return image.pixelColor(x, image.height() - 1 - y);
}
