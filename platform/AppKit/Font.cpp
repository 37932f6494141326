#include "platform/AppKit/Font.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QString>

NSFont NSFont::fontWithName(const std::string& family, CGFloat pixels) {
    if (QFontDatabase::hasFamily(QString::fromStdString(family))) return NSFont(pixels, false, family);
    return NSFont(pixels, false);
}

QFont NSFont::toQFont(CGFloat kern) const {
    QFont font(QString::fromStdString(mFamily));
    font.setPixelSize(std::max(1, static_cast<int>(mPixels + 0.5)));
    font.setBold(mBold);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setKerning(false);
    if (kern != 0) font.setLetterSpacing(QFont::AbsoluteSpacing, kern);
    return font;
}

CGFloat NSFont::ascender() const {
    return QFontMetricsF(toQFont()).ascent();
}

CGFloat NSFont::descender() const {
    return QFontMetricsF(toQFont()).descent();
}

NSSize sizeWithAttributes(const std::string& text, const TextAttributes& attributes) {
    const QFontMetricsF metrics(attributes.font.toQFont(attributes.kern));
    return {metrics.horizontalAdvance(QString::fromStdString(text)), metrics.ascent() + metrics.descent()};
}
