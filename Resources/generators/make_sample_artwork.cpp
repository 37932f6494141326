// Draws the album artwork of the sample music library and writes it as PNG files into
// "<folder>/SampleLibrary/Album Artwork", one per track of the album, named by the track's
// persistent ID. The folder is the only argument. Runs headless on the offscreen platform.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <cstdio>

namespace {

// The tracks of "Tap Tempo Sessions" in the sample library.
constexpr const char* kTracks[] = {"5EA7B1C000000001", "5EA7B1C000000002", "5EA7B1C000000003",
                                   "5EA7B1C000000004"};
constexpr int kSize = 128;

// A cover of concentric beats on a dusk gradient.
QImage drawCover() {
    QImage image(kSize, kSize, QImage::Format_ARGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, kSize);
    sky.setColorAt(0, QColor(38, 24, 78));
    sky.setColorAt(1, QColor(232, 110, 62));
    p.fillRect(image.rect(), sky);
    p.setBrush(Qt::NoBrush);
    for (int ring = 0; ring < 4; ++ring) {
        p.setPen(QPen(QColor(255, 240, 200, 220 - ring * 45), 5 - ring));
        const int r = 14 + ring * 14;
        p.drawEllipse(QPoint(kSize / 2, kSize / 2), r, r);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 240, 200));
    p.drawEllipse(QPoint(kSize / 2, kSize / 2), 7, 7);
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_sample_artwork <resources folder>\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]) + "/SampleLibrary/Album Artwork";
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "cannot make %s\n", qPrintable(folder));
        return 1;
    }
    const QImage cover = drawCover();
    for (const char* track : kTracks) {
        const QString path = folder + "/" + track + ".png";
        if (!cover.save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
