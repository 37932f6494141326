// Contrast of what is drawn against what it is drawn on, read from a grabbed image: luminance
// contrast as the accessibility guidelines define it, and a scan that finds the marks (glyphs,
// icon strokes) inside a rectangle and rates each against its background.
#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <utility>
#include <vector>

inline double relativeLuminance(const QColor& c) {
    auto linear = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}

inline double contrastRatio(const QColor& a, const QColor& b) {
    const double la = relativeLuminance(a), lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

inline std::string rgb(const QColor& c) {
    return "(" + std::to_string(c.red()) + "," + std::to_string(c.green()) + "," + std::to_string(c.blue()) +
           ")";
}

// One connected mark: its box, its fullest colour (the one that stands out most from what lies
// behind it) and the colours it is drawn on.
struct Mark {
    QRect box;
    QColor ink;
    std::vector<QColor> backgrounds;
};

// The contrast of a colour against the least favourable of the mark's backgrounds, and that one.
inline std::pair<double, QColor> worstContrast(const QColor& ink, const Mark& mark) {
    std::pair<double, QColor> worst{1e9, QColor()};
    for (const QColor& b : mark.backgrounds)
        if (const double r = contrastRatio(ink, b); r < worst.first) worst = {r, b};
    return worst;
}

// The marks inside `region` of `image`. The background of a pixel is the same pixel of `bare`, the
// image grabbed without what is rated, when one is given. Otherwise the backgrounds are taken to
// be flat or vertical gradients, so each row's background is the colour most of that row has. A
// pixel is ink when it stands out from its background; specks of fewer than four pixels are
// antialiasing, not marks.
inline std::vector<Mark> marksIn(const QImage& image, QRect region, const QImage* bare = nullptr) {
    region &= image.rect();
    const int w = region.width(), h = region.height();
    std::vector<QColor> rowBackground(h);
    if (!bare)
        for (int row = 0; row < h; ++row) {
            std::map<QRgb, int> counts;
            for (int x = region.left(); x <= region.right(); ++x)
                ++counts[image.pixel(x, region.top() + row)];
            rowBackground[row] =
                QColor::fromRgb(std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) {
                                    return a.second < b.second;
                                })->first);
        }
    auto at = [&](int p) { return image.pixelColor(region.left() + p % w, region.top() + p / w); };
    auto behind = [&](int p) {
        return bare ? bare->pixelColor(region.left() + p % w, region.top() + p / w) : rowBackground[p / w];
    };
    std::vector<char> ink(static_cast<size_t>(w) * h, 0);
    for (int p = 0; p < w * h; ++p) ink[p] = contrastRatio(at(p), behind(p)) >= 1.1;

    std::vector<Mark> marks;
    std::vector<char> seen(ink.size(), 0);
    for (int start = 0; start < w * h; ++start) {
        if (!ink[start] || seen[start]) continue;
        std::vector<int> stack{start}, pixels;
        seen[start] = 1;
        while (!stack.empty()) {
            const int p = stack.back();
            stack.pop_back();
            pixels.push_back(p);
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int x = p % w + dx, row = p / w + dy;
                    if (x < 0 || x >= w || row < 0 || row >= h) continue;
                    const int q = row * w + x;
                    if (ink[q] && !seen[q]) {
                        seen[q] = 1;
                        stack.push_back(q);
                    }
                }
        }
        if (pixels.size() < 4) continue;
        Mark mark;
        double strongest = 0;
        for (int p : pixels) {
            mark.box |= QRect(region.left() + p % w, region.top() + p / w, 1, 1);
            if (const double r = contrastRatio(at(p), behind(p)); r > strongest) {
                strongest = r;
                mark.ink = at(p);
            }
        }
        std::vector<QRgb> seenBehind;
        for (int p : pixels) {
            const QRgb b = behind(p).rgb();
            if (std::find(seenBehind.begin(), seenBehind.end(), b) != seenBehind.end()) continue;
            seenBehind.push_back(b);
            mark.backgrounds.push_back(QColor::fromRgb(b));
        }
        marks.push_back(mark);
    }
    return marks;
}
