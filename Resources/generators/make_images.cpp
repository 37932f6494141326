// Draws every image of the application's bundle and writes them as PNG files into the folder
// given as the only argument. Runs headless on the offscreen platform.
//
// The drawings below use Qt's own y-down coordinates: they are plain pictures, not views.
#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <cstdio>
#include <functional>

namespace {

using Draw = std::function<void(QPainter&, int w, int h)>;

struct ImageSpec {
    const char* name;
    int width;
    int height;
    Draw draw;
};

QColor grey(double white, double alpha = 1.0) {
    return QColor::fromRgbF(white, white, white, alpha);
}

// The controls along the window's light bottom row: dark glyphs that stand out from the window
// at 3 : 1 and more, a lighter grey while pressed that still does.
const QColor kRowInk = grey(0.25);
const QColor kRowInkPressed = grey(0.5);
// The tap area's marks on white, in the grey of its tempo digits.
const QColor kTapInk = grey(0.42);

void verticalGradient(QPainter& p, int w, int h, std::initializer_list<std::pair<double, QColor>> stops) {
    QLinearGradient g(0, 0, 0, h);
    for (const auto& [at, colour] : stops) g.setColorAt(at, colour);
    p.fillRect(QRectF(0, 0, w, h), g);
}

// A rounded frame with an open middle, for the artwork.
void artworkFrame(QPainter& p, int w, int h, double outline, double glow) {
    QPainterPath outer, inner;
    outer.addRoundedRect(QRectF(0.5, 0.5, w - 1, h - 1), 6, 6);
    inner.addRoundedRect(QRectF(3, 3, w - 6, h - 6), 4, 4);
    p.fillPath(outer.subtracted(inner), grey(outline, 0.85));
    p.setPen(QPen(grey(glow, 0.5), 1));
    p.drawPath(inner);
}

// A quaver on a tile, for tracks without artwork.
void noteTile(QPainter& p, int w, int h, const QColor& tile, const QColor& note) {
    if (tile.alpha() > 0) {
        QLinearGradient g(0, 0, 0, h);
        g.setColorAt(0, tile.lighter(125));
        g.setColorAt(1, tile);
        p.fillRect(QRectF(0, 0, w, h), g);
    }
    const double s = w / 128.0;
    p.setPen(Qt::NoPen);
    p.setBrush(note);
    p.drawEllipse(QPointF(48 * s, 90 * s), 15 * s, 11 * s);
    p.drawEllipse(QPointF(88 * s, 80 * s), 15 * s, 11 * s);
    QPainterPath beam;
    beam.addRect(QRectF(58 * s, 30 * s, 5 * s, 60 * s));
    beam.addRect(QRectF(98 * s, 20 * s, 5 * s, 60 * s));
    beam.moveTo(58 * s, 30 * s);
    beam.lineTo(103 * s, 20 * s);
    beam.lineTo(103 * s, 32 * s);
    beam.lineTo(58 * s, 42 * s);
    beam.closeSubpath();
    p.drawPath(beam.simplified());
}

void dots(QPainter& p, int w, int h, double radius, double spacing) {
    p.setPen(Qt::NoPen);
    p.setBrush(grey(0.76, 0.8));
    for (int i = 0; i < 5; ++i) p.drawEllipse(QPointF(spacing / 2 + i * spacing, h / 2.0), radius, radius);
    (void)w;
}

// Transport glyphs, centred in a square: kind 0 play, 1 pause, 2 back, 3 forward, 4 skip, 5 skip next.
void transport(QPainter& p, int w, int h, int kind, const QColor& colour) {
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    const double cx = w / 2.0, cy = h / 2.0, s = h / 26.0;
    auto triangle = [&](double x, double width, bool right) {
        QPainterPath t;
        if (right) {
            t.moveTo(x, cy - 7 * s);
            t.lineTo(x + width, cy);
            t.lineTo(x, cy + 7 * s);
        } else {
            t.moveTo(x + width, cy - 7 * s);
            t.lineTo(x, cy);
            t.lineTo(x + width, cy + 7 * s);
        }
        t.closeSubpath();
        p.drawPath(t);
    };
    switch (kind) {
        case 0:
            triangle(cx - 5 * s, 12 * s, true);
            break;
        case 1:
            p.drawRect(QRectF(cx - 6 * s, cy - 7 * s, 4 * s, 14 * s));
            p.drawRect(QRectF(cx + 2 * s, cy - 7 * s, 4 * s, 14 * s));
            break;
        case 2:
            p.drawRect(QRectF(cx - 9 * s, cy - 7 * s, 2 * s, 14 * s));
            triangle(cx - 7 * s, 8 * s, false);
            triangle(cx + 1 * s, 8 * s, false);
            break;
        case 3:
            triangle(cx - 9 * s, 8 * s, true);
            triangle(cx - 1 * s, 8 * s, true);
            p.drawRect(QRectF(cx + 7 * s, cy - 7 * s, 2 * s, 14 * s));
            break;
        case 4: {
            // A curved arrow forward: skip some seconds into the track.
            QPen pen(colour, 2.2 * s);
            pen.setCapStyle(Qt::RoundCap);
            p.setPen(pen);
            p.setBrush(Qt::NoBrush);
            p.drawArc(QRectF(cx - 7 * s, cy - 6 * s, 14 * s, 14 * s), 160 * 16, -250 * 16);
            p.setPen(Qt::NoPen);
            p.setBrush(colour);
            QPainterPath head;
            head.moveTo(cx + 3 * s, cy - 10 * s);
            head.lineTo(cx + 9 * s, cy - 5 * s);
            head.lineTo(cx + 2 * s, cy - 2 * s);
            head.closeSubpath();
            p.drawPath(head);
            break;
        }
        case 5:
            triangle(cx - 8 * s, 10 * s, true);
            p.drawRect(QRectF(cx + 3 * s, cy - 7 * s, 2.5 * s, 14 * s));
            p.drawEllipse(QPointF(cx + 8 * s, cy + 5 * s), 1.6 * s, 1.6 * s);
            break;
    }
}

void metronomeCase(QPainter& p, int w, int h, const QColor& colour, double penWidth = 1.4) {
    QPainterPath body;
    body.moveTo(w * 0.38, h * 0.12);
    body.lineTo(w * 0.62, h * 0.12);
    body.lineTo(w * 0.82, h * 0.9);
    body.lineTo(w * 0.18, h * 0.9);
    body.closeSubpath();
    p.setPen(QPen(colour, penWidth));
    p.setBrush(Qt::NoBrush);
    p.drawPath(body);
    p.drawLine(QPointF(w * 0.5, h * 0.78), QPointF(w * 0.68, h * 0.22));
}

void speaker(QPainter& p, int w, int h, int waves) {
    p.setPen(Qt::NoPen);
    p.setBrush(kRowInk);
    QPainterPath s;
    const double cy = h / 2.0;
    s.moveTo(2, cy - 2.5);
    s.lineTo(5, cy - 2.5);
    s.lineTo(9, cy - 6);
    s.lineTo(9, cy + 6);
    s.lineTo(5, cy + 2.5);
    s.lineTo(2, cy + 2.5);
    s.closeSubpath();
    p.drawPath(s);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kRowInk, 1.2));
    for (int i = 1; i <= waves; ++i)
        p.drawArc(QRectF(9 - 2.2 * i, cy - 2.2 * i, 4.4 * i, 4.4 * i), -50 * 16, 100 * 16);
    (void)w;
}

void photo(QPainter& p, int w, int h, double scale) {
    const double side = (w - 2) * scale, x = (w - side) / 2, y = (h - side) / 2;
    p.setPen(QPen(kRowInk, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(x, y, side, side));
    QPainterPath hill;
    hill.moveTo(x, y + side);
    hill.lineTo(x + side * 0.45, y + side * 0.45);
    hill.lineTo(x + side, y + side);
    p.fillPath(hill, kRowInk);
}

void knob(QPainter& p, int w, int h, double top, double bottom) {
    QLinearGradient g(0, 0, 0, h);
    g.setColorAt(0, grey(top));
    g.setColorAt(1, grey(bottom));
    p.setPen(QPen(grey(0.1, 0.8), 1));
    p.setBrush(g);
    p.drawEllipse(QRectF(1.5, 1.5, w - 3, h - 3));
}

// The key recorder's clear button: a dark disc with a white cross, in units of a fourteenth.
void removeShortcut(QPainter& p, int w, int h, double discAlpha) {
    p.setPen(Qt::NoPen);
    p.setBrush(grey(0.0, discAlpha));
    p.drawEllipse(QRectF(0, 0, w, h));
    const double u = w / 14.0;
    QPen pen(Qt::white, 1.2 * u);
    p.setPen(pen);
    p.drawLine(QPointF(4 * u, 4 * u), QPointF(10 * u, 10 * u));
    p.drawLine(QPointF(10 * u, 4 * u), QPointF(4 * u, 10 * u));
    (void)h;
}

// The key recorder's cancel button: a white arrow curving back to the left, over its shadow.
void snapback(QPainter& p, int w, int h) {
    QPainterPath arrow;
    arrow.moveTo(0.08, 0.38);
    arrow.lineTo(0.45, 0.08);
    arrow.lineTo(0.45, 0.26);
    arrow.cubicTo(0.80, 0.26, 0.95, 0.55, 0.78, 0.92);
    arrow.lineTo(0.62, 0.92);
    arrow.cubicTo(0.78, 0.62, 0.68, 0.50, 0.45, 0.50);
    arrow.lineTo(0.45, 0.68);
    arrow.closeSubpath();
    QTransform shape;
    shape.translate(0.5, 0.5);
    shape.scale(w * 0.9, h);
    const QPainterPath outline = shape.map(arrow);
    p.setPen(Qt::NoPen);
    // The shadow falls one point below, softened by a ring of fainter copies.
    for (const QPointF offset : {QPointF(-0.5, 1), QPointF(0.5, 1), QPointF(0, 0.5), QPointF(0, 1.5)})
        p.fillPath(outline.translated(offset), grey(0.0, 0.45 / 3));
    p.fillPath(outline.translated(0, 1), grey(0.0, 0.45));
    p.fillPath(outline, Qt::white);
}

const ImageSpec kImages[] = {
    // Preferences toolbar: a speech bubble, a list of rules, a key cap.
    {"NotifyPrefs.png", 32, 32,
     [](QPainter& p, int w, int h) {
         p.setRenderHint(QPainter::Antialiasing);
         QPainterPath bubble;
         bubble.addRoundedRect(QRectF(w * 0.1, h * 0.12, w * 0.8, h * 0.56), 6, 6);
         bubble.moveTo(w * 0.3, h * 0.66);
         bubble.lineTo(w * 0.22, h * 0.9);
         bubble.lineTo(w * 0.48, h * 0.66);
         p.setPen(QPen(grey(0.25), 1.5));
         p.setBrush(QColor(250, 214, 90));
         p.drawPath(bubble.simplified());
         p.setPen(QPen(grey(0.25), 3, Qt::SolidLine, Qt::RoundCap));
         p.drawLine(QPointF(w * 0.5, h * 0.22), QPointF(w * 0.5, h * 0.44));
         p.drawPoint(QPointF(w * 0.5, h * 0.55));
     }},
    {"RulePrefs.png", 32, 32,
     [](QPainter& p, int w, int h) {
         p.setRenderHint(QPainter::Antialiasing);
         p.setPen(QPen(grey(0.3), 1));
         p.setBrush(grey(0.97));
         p.drawRoundedRect(QRectF(w * 0.12, h * 0.08, w * 0.76, h * 0.84), 3, 3);
         for (int row = 0; row < 3; ++row) {
             const double y = h * (0.28 + 0.22 * row);
             p.setBrush(QColor(80, 150, 230));
             p.drawEllipse(QPointF(w * 0.28, y), 2.5, 2.5);
             p.drawLine(QPointF(w * 0.4, y), QPointF(w * 0.78, y));
         }
     }},
    {"ShortcutPrefs.png", 32, 32,
     [](QPainter& p, int w, int h) {
         p.setRenderHint(QPainter::Antialiasing);
         p.setPen(QPen(grey(0.3), 1.2));
         p.setBrush(grey(0.92));
         p.drawRoundedRect(QRectF(w * 0.12, h * 0.16, w * 0.76, h * 0.7), 5, 5);
         p.setBrush(grey(1.0));
         p.drawRoundedRect(QRectF(w * 0.2, h * 0.22, w * 0.6, h * 0.5), 4, 4);
         QFont font = p.font();
         font.setPixelSize(h / 3);
         font.setBold(true);
         p.setFont(font);
         p.setPen(grey(0.2));
         p.drawText(QRectF(w * 0.2, h * 0.22, w * 0.6, h * 0.5), Qt::AlignCenter, QStringLiteral("K"));
     }},
    // Track panel backgrounds: stretched as the centre of a three-part image.
    {"TrackBG_active.png", 8, 120,
     [](QPainter& p, int w, int h) {
         verticalGradient(p, w, h, {{0, grey(0.30)}, {0.02, grey(0.24)}, {1, grey(0.11)}});
     }},
    {"TrackBG_inactive.png", 8, 120,
     [](QPainter& p, int w, int h) {
         verticalGradient(p, w, h, {{0, grey(0.42)}, {0.02, grey(0.36)}, {1, grey(0.26)}});
     }},
    {"bpmGradient_active.png", 8, 64,
     [](QPainter& p, int w, int h) {
         verticalGradient(p, w, h, {{0, grey(0.20)}, {0.5, grey(0.15)}, {1, grey(0.09)}});
     }},
    {"bpmGradient_inactive.png", 8, 64,
     [](QPainter& p, int w, int h) {
         verticalGradient(p, w, h, {{0, grey(0.34)}, {0.5, grey(0.30)}, {1, grey(0.24)}});
     }},
    {"ArtworkFrame_active.png", 70, 70, [](QPainter& p, int w, int h) { artworkFrame(p, w, h, 0.05, 0.5); }},
    {"ArtworkFrame_inactive.png", 70, 70,
     [](QPainter& p, int w, int h) { artworkFrame(p, w, h, 0.25, 0.6); }},
    {"NoArtwork.png", 128, 128, [](QPainter& p, int w, int h) { noteTile(p, w, h, grey(0.35), grey(0.62)); }},
    {"NoArtwork_white.png", 128, 128,
     [](QPainter& p, int w, int h) { noteTile(p, w, h, QColor(0, 0, 0, 0), grey(1.0, 0.9)); }},
    // Five dots in the places of the five stars.
    {"nostars.png", 80, 16, [](QPainter& p, int w, int h) { dots(p, w, h, 1.5, 16); }},
    {"nostars_small.png", 60, 12, [](QPainter& p, int w, int h) { dots(p, w, h, 1.2, 12); }},
    {"questionmark.png", 16, 16,
     [](QPainter& p, int w, int h) {
         p.setPen(Qt::NoPen);
         p.setBrush(grey(0.45));
         p.drawEllipse(QRectF(0.5, 0.5, w - 1, h - 1));
         QFont font("DejaVu Sans");
         font.setPixelSize(12);
         font.setBold(true);
         p.setFont(font);
         p.setPen(Qt::white);
         p.drawText(QRectF(0, 0, w, h), Qt::AlignCenter, "?");
     }},
    {"checkmarkgray.png", 14, 14,
     [](QPainter& p, int, int) {
         QPen pen(kTapInk, 2.4);
         pen.setCapStyle(Qt::RoundCap);
         pen.setJoinStyle(Qt::RoundJoin);
         p.setPen(pen);
         p.drawPolyline(QPolygonF({QPointF(2, 7.5), QPointF(5.5, 11), QPointF(12, 2.5)}));
     }},
    // Drawn at opacity 0.6, so darker than the tap area's other marks to look as dark.
    {"runnert.png", 32, 32,
     [](QPainter& p, int, int) {
         const QColor c = grey(0.2);
         QPen pen(c, 3);
         pen.setCapStyle(Qt::RoundCap);
         pen.setJoinStyle(Qt::RoundJoin);
         p.setPen(Qt::NoPen);
         p.setBrush(c);
         p.drawEllipse(QPointF(19, 5), 3.2, 3.2);
         p.setPen(pen);
         p.drawLine(QPointF(17, 10), QPointF(13, 19));                                    // body
         p.drawPolyline(QPolygonF({QPointF(16, 12), QPointF(22, 14), QPointF(25, 11)}));  // front arm
         p.drawPolyline(QPolygonF({QPointF(16, 12), QPointF(11, 13), QPointF(8, 17)}));   // back arm
         p.drawPolyline(QPolygonF({QPointF(13, 19), QPointF(19, 23), QPointF(18, 30)}));  // front leg
         p.drawPolyline(QPolygonF({QPointF(13, 19), QPointF(9, 25), QPointF(3, 25)}));    // back leg
     }},
    // The arm pivots at the bottom centre (the layer's anchor) and reaches 18 points up.
    {"pendulum36c.png", 36, 36,
     [](QPainter& p, int, int) {
         const QColor c = kTapInk;
         QPen pen(c, 1.6);
         pen.setCapStyle(Qt::RoundCap);
         p.setPen(pen);
         p.drawLine(QPointF(18, 35), QPointF(18, 18));
         p.setPen(Qt::NoPen);
         p.setBrush(c);
         p.drawRect(QRectF(15.5, 22, 5, 4));
         p.drawEllipse(QPointF(18, 35), 1.5, 1.5);
     }},
    {"LED_on.png", 34, 34,
     [](QPainter& p, int w, int h) {
         QRadialGradient g(QPointF(w * 0.45, h * 0.4), w * 0.5);
         g.setColorAt(0, QColor::fromRgbF(1.0, 0.85, 0.8));
         g.setColorAt(0.35, QColor::fromRgbF(1.0, 0.2, 0.15));
         g.setColorAt(0.8, QColor::fromRgbF(0.75, 0.05, 0.05));
         g.setColorAt(1, QColor::fromRgbF(0.75, 0.05, 0.05, 0));
         p.setPen(Qt::NoPen);
         p.setBrush(g);
         p.drawEllipse(QRectF(1, 1, w - 2, h - 2));
     }},
    {"LED_off.png", 34, 34,
     [](QPainter& p, int w, int h) {
         QRadialGradient g(QPointF(w * 0.45, h * 0.4), w * 0.4);
         g.setColorAt(0, QColor::fromRgbF(0.55, 0.3, 0.3));
         g.setColorAt(1, QColor::fromRgbF(0.3, 0.12, 0.12));
         p.setPen(QPen(grey(0.6), 1));
         p.setBrush(g);
         p.drawEllipse(QRectF(5, 5, w - 10, h - 10));
     }},
    // The application's icon: a metronome on a rounded blue tile.
    {"Beatwick.png", 128, 128,
     [](QPainter& p, int w, int h) {
         QPainterPath tile;
         tile.addRoundedRect(QRectF(4, 4, w - 8, h - 8), 24, 24);
         QLinearGradient g(0, 0, 0, h);
         g.setColorAt(0, QColor::fromRgbF(0.35, 0.6, 0.95));
         g.setColorAt(1, QColor::fromRgbF(0.1, 0.3, 0.7));
         p.fillPath(tile, g);
         p.translate(w * 0.15, h * 0.12);
         p.scale(0.7, 0.76);
         metronomeCase(p, w, h, grey(1.0), 9);
     }},
    {"metronome_startc.png", 20, 20,
     [](QPainter& p, int w, int h) {
         metronomeCase(p, w, h, kRowInk);
         p.setPen(Qt::NoPen);
         p.setBrush(QColor::fromRgbF(0.1, 0.55, 0.2));
         p.drawPolygon(QPolygonF(
             {QPointF(w * 0.36, h * 0.48), QPointF(w * 0.68, h * 0.64), QPointF(w * 0.36, h * 0.8)}));
     }},
    {"metronome_stopc.png", 20, 20,
     [](QPainter& p, int w, int h) {
         metronomeCase(p, w, h, kRowInk);
         p.fillRect(QRectF(w * 0.36, h * 0.5, w * 0.28, h * 0.28), QColor::fromRgbF(0.85, 0.2, 0.15));
     }},
    {"addtoplaylist_active.png", 16, 16,
     [](QPainter& p, int, int) {
         p.setPen(QPen(grey(0.9), 1.5));
         for (int i = 0; i < 3; ++i) p.drawLine(QPointF(1, 4 + 4 * i), QPointF(i == 2 ? 7 : 9, 4 + 4 * i));
         p.drawLine(QPointF(12, 7), QPointF(12, 15));
         p.drawLine(QPointF(8, 11), QPointF(16, 11));
     }},
    {"play_active_s.png", 26, 26, [](QPainter& p, int w, int h) { transport(p, w, h, 0, kRowInk); }},
    {"play_pressed_s.png", 26, 26, [](QPainter& p, int w, int h) { transport(p, w, h, 0, kRowInkPressed); }},
    {"pause_active_s.png", 26, 26, [](QPainter& p, int w, int h) { transport(p, w, h, 1, kRowInk); }},
    {"pause_pressed_s.png", 26, 26, [](QPainter& p, int w, int h) { transport(p, w, h, 1, kRowInkPressed); }},
    {"back_active_s.png", 26, 26, [](QPainter& p, int w, int h) { transport(p, w, h, 2, kRowInk); }},
    {"back_pressed_s.png", 26, 26, [](QPainter& p, int w, int h) { transport(p, w, h, 2, kRowInkPressed); }},
    {"forward_active_s.png", 26, 26, [](QPainter& p, int w, int h) { transport(p, w, h, 3, kRowInk); }},
    {"forward_pressed_s.png", 26, 26,
     [](QPainter& p, int w, int h) { transport(p, w, h, 3, kRowInkPressed); }},
    {"skip_active.png", 26, 26, [](QPainter& p, int w, int h) { transport(p, w, h, 4, kRowInk); }},
    {"skip_pressed.png", 26, 26, [](QPainter& p, int w, int h) { transport(p, w, h, 4, kRowInkPressed); }},
    {"skipnext_active.png", 26, 26, [](QPainter& p, int w, int h) { transport(p, w, h, 5, kRowInk); }},
    {"skipnext_pressed.png", 26, 26,
     [](QPainter& p, int w, int h) { transport(p, w, h, 5, kRowInkPressed); }},
    // The four-segment metronome control's glyphs, 10 by 10.
    {"segment_start.png", 10, 10, [](QPainter& p, int w, int h) { transport(p, w, h, 0, grey(0.2)); }},
    {"segment_stop.png", 10, 10, [](QPainter& p, int, int) { p.fillRect(QRectF(2, 2, 6, 6), grey(0.2)); }},
    {"segment_pendulum.png", 10, 10,
     [](QPainter& p, int, int) {
         p.setPen(QPen(grey(0.2), 1.4));
         p.drawLine(QPointF(5, 9.5), QPointF(7.5, 1));
         p.fillRect(QRectF(5, 4, 3, 2), grey(0.2));
     }},
    {"segment_led.png", 10, 10,
     [](QPainter& p, int, int) {
         p.setPen(Qt::NoPen);
         p.setBrush(QColor::fromRgbF(0.8, 0.1, 0.1));
         p.drawEllipse(QRectF(1.5, 1.5, 7, 7));
     }},
    {"arrows_white.png", 16, 16,
     [](QPainter& p, int, int) {
         p.setPen(Qt::NoPen);
         p.setBrush(Qt::white);
         p.drawPolygon(QPolygonF({QPointF(4.5, 7), QPointF(8, 3), QPointF(11.5, 7)}));
         p.drawPolygon(QPolygonF({QPointF(4.5, 9), QPointF(8, 13), QPointF(11.5, 9)}));
     }},
    // The textured volume slider: indicator icons, the three-part bar and the knob.
    {"TexturedSliderSpeakerQuiet.png", 16, 16, [](QPainter& p, int w, int h) { speaker(p, w, h, 0); }},
    {"TexturedSliderSpeakerLoud.png", 16, 16, [](QPainter& p, int w, int h) { speaker(p, w, h, 3); }},
    {"TexturedSliderPhotoSmall.png", 16, 16, [](QPainter& p, int w, int h) { photo(p, w, h, 0.6); }},
    {"TexturedSliderPhotoLarge.png", 16, 16, [](QPainter& p, int w, int h) { photo(p, w, h, 1.0); }},
    {"TexturedSliderTrackLeft.png", 5, 6,
     [](QPainter& p, int w, int h) {
         QPainterPath path;
         path.addRoundedRect(QRectF(0.5, 0.5, w * 2, h - 1), 2.5, 2.5);
         p.setClipRect(0, 0, w, h);
         p.fillPath(path, grey(0.08));
         p.setPen(QPen(grey(0.45, 0.6), 1));
         p.drawPath(path);
     }},
    {"TexturedSliderTrackFill.png", 1, 6,
     [](QPainter& p, int w, int h) {
         p.fillRect(QRectF(0, 0, w, h), grey(0.08));
         p.fillRect(QRectF(0, h - 1, w, 1), grey(0.45, 0.6));
         p.fillRect(QRectF(0, 0, w, 1), grey(0.45, 0.6));
     }},
    {"TexturedSliderTrackRight.png", 5, 6,
     [](QPainter& p, int w, int h) {
         QPainterPath path;
         path.addRoundedRect(QRectF(-w - 0.5, 0.5, w * 2, h - 1), 2.5, 2.5);
         p.setClipRect(0, 0, w, h);
         p.fillPath(path, grey(0.08));
         p.setPen(QPen(grey(0.45, 0.6), 1));
         p.drawPath(path);
     }},
    {"TexturedSliderThumbN.png", 14, 14, [](QPainter& p, int w, int h) { knob(p, w, h, 0.95, 0.7); }},
    {"TexturedSliderThumbP.png", 14, 14, [](QPainter& p, int w, int h) { knob(p, w, h, 0.75, 0.55); }},
    // The key recorder's buttons: clear (plain, under the mouse, pressed) and cancel.
    {"KRRemoveShortcut.png", 14, 14, [](QPainter& p, int w, int h) { removeShortcut(p, w, h, 0.25); }},
    {"KRRemoveShortcutRollover.png", 14, 14,
     [](QPainter& p, int w, int h) { removeShortcut(p, w, h, 0.35); }},
    {"KRRemoveShortcutPressed.png", 14, 14, [](QPainter& p, int w, int h) { removeShortcut(p, w, h, 0.45); }},
    {"KRSnapback.png", 14, 14, [](QPainter& p, int w, int h) { snapback(p, w, h); }},
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(out.path())) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    for (const ImageSpec& spec : kImages) {
        QImage image(spec.width, spec.height, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setRenderHint(QPainter::TextAntialiasing);
            spec.draw(painter, spec.width, spec.height);
        }
        const QString path = out.filePath(QString::fromLatin1(spec.name));
        if (!image.save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    QFile stamp(out.filePath(".images.stamp"));
    if (!stamp.open(QIODevice::WriteOnly)) return 1;
    return 0;
}
