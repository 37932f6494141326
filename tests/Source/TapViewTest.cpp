#include <gtest/gtest.h>

#include <QFile>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Source/MetronomeView.h"
#include "Source/TapView.h"
#include "Source/TapViewHost.h"
#include "ViewTestApplication.h"
#include "platform/AppKit/Event.h"
#include "platform/AppKit/GraphicsContext.h"
#include "platform/AppKit/Image.h"
#include "platform/AppKit/ImageView.h"
#include "platform/AppKit/Window.h"
#include "platform/Foundation/StringsTable.h"

namespace {

// The controller's side of the tap area, recording what reaches it in order.
class FakeTapHost : public TapViewHost {
public:
    int currentDisplayBPM() const override { return displayBPM; }
    int currentAccuracy() const override { return accuracy; }
    long alternateBeat() const override { return barLength; }
    void playMetronomeClickForBeat(long beat) override { log.push_back("click " + std::to_string(beat)); }
    void pulse() override { log.push_back("pulse"); }
    void processTap(uint64_t ms) override {
        log.push_back("tap " + std::to_string(ms));
        stamps.push_back(ms);
    }
    bool assignBPMIsDefault() const override { return assignIsDefault; }
    bool simulateAssignBPMClick(const NSEvent&) override {
        log.push_back("assign");
        return buttonTakesKey;
    }
    bool waitingOnSimulatedKeypress() const override { return waiting; }
    void setWaitingOnSimulatedKeypress(bool w) override { waiting = w; }

    int displayBPM{0};
    int accuracy{0};
    long barLength{4};
    bool assignIsDefault{false};
    bool buttonTakesKey{true};
    bool waiting{false};
    std::vector<std::string> log;
    std::vector<uint64_t> stamps;
};

// A main window whose content is a focused tap area, on a clock the test moves.
struct TapWindow {
    explicit TapWindow(std::map<std::string, long> settings = {})
        : window((viewTestApplication(), NSMakeSize(300, 240))), defaults(std::move(settings)) {
        view = new TapView(NSMakeRect(0, 0, 300, 240), window.contentView(),
                           [this](const std::string& key) -> std::optional<long> {
                               const auto found = defaults.find(key);
                               if (found == defaults.end()) return std::nullopt;
                               return found->second;
                           });
        view->setController(&host);
        view->setClock([this] { return now; });
        view->awakeFromNib();
        window.show();
        EXPECT_TRUE(window.makeFirstResponder(view));
    }

    void click() { QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, QPoint(150, 120)); }
    void key(Qt::Key key, const QString& text = {}, bool repeat = false) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text, repeat);
        QApplication::sendEvent(view, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text, repeat);
        QApplication::sendEvent(view, &release);
    }

    Window window;
    std::map<std::string, long> defaults;
    FakeTapHost host;
    TapView* view;
    uint64_t now{1'700'000'000'000};
};

}  // namespace

TEST(TapViewTaps, BeatsRunThroughTheBarAndEachTapClicksBeforeItIsProcessed) {
    TapWindow w;
    w.view->setPlayMetronomeClick(true);
    for (int i = 0; i < 5; ++i) {
        w.click();
        w.now += 500;
    }
    const std::vector<std::string> expected{
        "click 1", "pulse", "tap 1700000000000", "click 2", "pulse", "tap 1700000000500",
        "click 3", "pulse", "tap 1700000001000", "click 4", "pulse", "tap 1700000001500",
        "click 1", "pulse", "tap 1700000002000"};
    EXPECT_EQ(w.host.log, expected);
    EXPECT_EQ(w.view->beatNum(), 1);
    EXPECT_TRUE(w.view->userIsClicking());

    // Without the tap click only the taps go out, and the count still runs.
    w.host.log.clear();
    w.view->setPlayMetronomeClick(false);
    w.key(Qt::Key_A, "a");
    EXPECT_EQ(w.host.log, std::vector<std::string>{"tap 1700000002500"});
    EXPECT_EQ(w.view->beatNum(), 2);
    EXPECT_FALSE(w.view->userIsClicking());
}

// Presses 300 ms apart come from the window system as press, double-click, press, double-click...
// Each one is a tap with its own time stamp.
TEST(TapViewTaps, MousePressesThreeHundredMillisecondsApartEachCount) {
    TapWindow w;
    QWindow* handle = w.window.windowHandle();
    ASSERT_NE(handle, nullptr);
    const QPointF local = w.view->mapTo(&w.window, QPointF(150, 120));
    const QPointF global = w.window.mapToGlobal(local);
    const int start = QTest::lastMouseTimestamp + 10'000;
    constexpr int kPresses = 8;
    for (int i = 0; i < kPresses; ++i) {
        const int at = start + 300 * i;
        w.now = 1'700'000'000'000 + 300 * static_cast<uint64_t>(i);
        qt_handleMouseEvent(handle, local, global, Qt::LeftButton, Qt::LeftButton, QEvent::MouseButtonPress,
                            Qt::NoModifier, at);
        qt_handleMouseEvent(handle, local, global, Qt::NoButton, Qt::LeftButton, QEvent::MouseButtonRelease,
                            Qt::NoModifier, at + 40);
        QApplication::processEvents();
    }
    QTest::lastMouseTimestamp = start + 300 * kPresses + 1000;
    std::vector<uint64_t> expected;
    for (int i = 0; i < kPresses; ++i) expected.push_back(1'700'000'000'000 + 300 * static_cast<uint64_t>(i));
    EXPECT_EQ(w.host.stamps, expected);
}

TEST(TapViewTaps, WhichKeysTap) {
    struct Case {
        const char* name;
        Qt::Key key;
        const char* text;
        bool repeat;
        bool assignIsDefault;
        bool buttonTakesKey;
        bool waiting;
        std::vector<std::string> log;
        bool waitingAfter;
    };
    const std::vector<Case> cases{
        {"Shift alone", Qt::Key_Shift, "", false, false, true, false, {}, false},
        {"Control alone", Qt::Key_Control, "", false, false, true, false, {}, false},
        {"Tab", Qt::Key_Tab, "\t", false, false, true, false, {"tap 5"}, false},
        {"Space", Qt::Key_Space, " ", false, false, true, false, {"tap 5"}, false},
        {"a repeat", Qt::Key_A, "a", true, false, true, false, {"tap 5"}, false},
        {"Return assigns", Qt::Key_Return, "\r", false, true, true, false, {"assign"}, false},
        {"Enter assigns", Qt::Key_Enter, "\x03", false, true, true, false, {"assign"}, false},
        {"Return refused by the button",
         Qt::Key_Return,
         "\r",
         false,
         true,
         false,
         false,
         {"assign", "tap 5"},
         false},
        {"Return without a default Assign",
         Qt::Key_Return,
         "\r",
         false,
         false,
         true,
         false,
         {"tap 5"},
         false},
        {"a while Assign is default", Qt::Key_A, "a", false, true, true, false, {"tap 5"}, false},
        {"posted key awaited", Qt::Key_A, "a", false, false, true, true, {}, false},
        {"posted key awaited, Return assigns first",
         Qt::Key_Return,
         "\r",
         false,
         true,
         true,
         true,
         {"assign"},
         true},
    };
    for (const Case& c : cases) {
        TapWindow w;
        w.now = 5;
        w.host.assignIsDefault = c.assignIsDefault;
        w.host.buttonTakesKey = c.buttonTakesKey;
        w.host.waiting = c.waiting;
        w.key(c.key, QString::fromLatin1(c.text), c.repeat);
        EXPECT_EQ(w.host.log, c.log) << c.name;
        EXPECT_EQ(w.host.waiting, c.waitingAfter) << c.name;
        EXPECT_EQ(w.view->beatNum(), c.log.empty() || c.log.back() != "tap 5" ? 0 : 1) << c.name;
    }
}

TEST(TapViewTaps, RunningRangeComesFromTheSettingsWhenPresent) {
    struct Case {
        const char* name;
        std::map<std::string, long> settings;
        int min, max;
    };
    const std::vector<Case> cases{
        {"none", {}, 178, 185},
        {"both", {{"MinRunningBPM", 160}, {"MaxRunningBPM", 170}}, 160, 170},
        {"only the maximum", {{"MaxRunningBPM", 200}}, 178, 200},
    };
    for (const Case& c : cases) {
        TapWindow w(c.settings);
        EXPECT_EQ(w.view->minRunningBPM(), c.min) << c.name;
        EXPECT_EQ(w.view->maxRunningBPM(), c.max) << c.name;
    }
    TapWindow w({{"MinRunningBPM", 150}});
    w.defaults = {};
    w.view->updateMinMaxBPM();
    EXPECT_EQ(w.view->minRunningBPM(), 178) << "a removed setting falls back";
}

// A pendulum request that comes after the metronome stopped carries no beat; it must not start a
// swing that nothing would stop.
TEST(TapViewMetronome, AnimateIgnoresBeatsThatAreNotPositive) {
    struct Case {
        const char* name;
        double seconds;
        bool swings;
    };
    const std::vector<Case> cases{
        {"half a second", 0.5, true},
        {"zero", 0.0, false},
        {"negative", -0.5, false},
        {"infinite (tempo 0)", 60.0 / 0.0, false},
        {"not a number", std::nan(""), false},
    };
    for (const Case& c : cases) {
        TapWindow w;
        MetronomeView& m = *w.view->metronomeView();
        w.view->animateBPM(0.5);
        w.view->stopAnimation();
        ASSERT_FALSE(m.isAnimating()) << c.name;
        w.view->animateBPM(c.seconds);
        EXPECT_EQ(m.isAnimating(), c.swings) << c.name;
        EXPECT_EQ(m.pendulum().layer().animationForKey("rotateAnimation") != nullptr, c.swings) << c.name;
        EXPECT_FALSE(m.isToggling()) << c.name;
    }
}

namespace {

struct InkBox {
    double left, bottom, right, top;
};

// The box around the pixels that are not white, in y-up rows [fromY, toY) and columns [fromX, toX).
std::optional<InkBox> ink(const QImage& image, int fromY, int toY, int fromX = 0, int toX = -1) {
    if (toX < 0) toX = image.width();
    std::optional<InkBox> box;
    for (int y = fromY; y < toY; ++y)
        for (int x = fromX; x < toX; ++x) {
            const QColor c = pixelAt(image, x, y);
            if (c.red() > 248 && c.green() > 248 && c.blue() > 248) continue;
            if (!box) box = InkBox{double(x), double(y), x + 1.0, y + 1.0};
            box->left = std::min(box->left, double(x));
            box->right = std::max(box->right, x + 1.0);
            box->bottom = std::min(box->bottom, double(y));
            box->top = std::max(box->top, y + 1.0);
        }
    return box;
}

// Where the glyphs of a bold grey text go when centred horizontally in `width` with the middle of
// its line box at `middle`; and that line box.
struct Placed {
    InkBox ink;
    NSRect lineBox;
};
Placed centredText(const std::string& text, CGFloat size, CGFloat width, CGFloat middle) {
    const TextAttributes attributes{NSFont::boldSystemFontOfSize(size), NSColor::blackColor(), 0};
    const NSSize s = sizeWithAttributes(text, attributes);
    const NSRect box = NSMakeRect((width - s.width) / 2, middle - s.height / 2, s.width, s.height);
    const QRectF tight =
        QFontMetricsF(attributes.font.toQFont()).tightBoundingRect(QString::fromStdString(text));
    const double baseline = box.origin.y + attributes.font.descender();
    return {{box.origin.x + tight.left(), baseline - tight.bottom(), box.origin.x + tight.right(),
             baseline - tight.top()},
            box};
}

void expectInkNear(const std::optional<InkBox>& got, const InkBox& want, const std::string& name,
                   bool checkRight = true) {
    ASSERT_TRUE(got.has_value()) << name << ": nothing drawn";
    EXPECT_NEAR(got->left, want.left, 2) << name << ": left edge";
    if (checkRight) {
        EXPECT_NEAR(got->right, want.right, 2) << name << ": right edge";
    }
    EXPECT_NEAR(got->bottom, want.bottom, 2) << name << ": bottom edge";
    EXPECT_NEAR(got->top, want.top, 2) << name << ": top edge";
}

// The image alone, drawn at a y-up rectangle over white in a canvas of the view's size.
QImage imageAlone(const std::string& name, const NSRect& rect, double fraction, QSize size) {
    QImage canvas(size, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    {
        GraphicsContext context(painter, size.height());
        context.setImageInterpolation(NSImageInterpolation::High);
        if (const auto image = NSImage::imageNamed(name))
            image->drawInRect(rect, {}, NSCompositingOperation::SourceOver, fraction);
        else
            ADD_FAILURE() << name << " is missing";
    }
    return canvas;
}

// Whether the view shows the image at the rectangle, judged on its columns from `fromX` on.
bool showsImageAt(const QImage& rendered, const std::string& name, const NSRect& rect, double fraction,
                  int fromX) {
    const QImage alone = imageAlone(name, rect, fraction, rendered.size());
    int inked = 0;
    for (int y = int(NSMinY(rect)); y < int(std::ceil(NSMaxY(rect))); ++y)
        for (int x = std::max(fromX, int(NSMinX(rect))); x < int(std::ceil(NSMaxX(rect))); ++x) {
            const QColor want = pixelAt(alone, x, y), got = pixelAt(rendered, x, y);
            if (want.red() < 245) ++inked;
            if (std::abs(want.red() - got.red()) > 3 || std::abs(want.blue() - got.blue()) > 3) return false;
        }
    return inked > 3;
}

}  // namespace

TEST(TapViewDrawing, BeforeAnyTapThePromptFillsTwoLines) {
    TapWindow w;
    const QImage image = w.view->renderToImage();
    EXPECT_EQ(pixelAt(image, 2, 2), QColor(Qt::white));
    // 240 high: "Click Here" centred on 164, "Or Tap Any Key" on 76.
    expectInkNear(ink(image, 120, 240), centredText("Click Here", 24, 300, 164).ink, "Click Here");
    expectInkNear(ink(image, 0, 120), centredText("Or Tap Any Key", 24, 300, 76).ink, "Or Tap Any Key");
    EXPECT_TRUE(w.view->metronomeView()->isHidden());
}

TEST(TapViewDrawing, WhileMeasuringThePromptFollowsTheLastTap) {
    struct Case {
        const char* name;
        bool byMouse;
        const char* text;
    };
    for (const Case& c :
         {Case{"after a click", true, "Continue clicking"}, Case{"after a key", false, "Keep tapping"}}) {
        TapWindow w;
        if (c.byMouse)
            w.click();
        else
            w.key(Qt::Key_B, "b");
        w.host.accuracy = 1;
        const QImage image = w.view->renderToImage();
        expectInkNear(ink(image, 0, 240), centredText(c.text, 24, 300, 120).ink, c.name);
        EXPECT_TRUE(w.view->metronomeView()->isHidden()) << c.name;
    }
}

// The prompts are the "Localizable" table's texts: a table of other words draws those words, and
// the bundle's own table holds every prompt (an entry it cannot read would fall back unseen).
TEST(TapViewDrawing, PromptsComeFromTheLocalizableTable) {
    const std::vector<std::pair<std::string, std::string>> prompts{{"Click Here", "Tap Here Now"},
                                                                   {"Or Tap Any Key", "Or Press A Key"},
                                                                   {"Continue clicking", "Click on"},
                                                                   {"Keep tapping", "Keep going"}};
    const Result<StringsTable> shipped =
        StringsTable::load(std::string(BEATWICK_SOURCE_DIR) + "/Resources/Localizable.strings");
    ASSERT_TRUE(shipped);
    for (const auto& [key, other] : prompts)
        EXPECT_EQ(shipped.value().lookup(key), std::optional<std::string>(key)) << key;

    QTemporaryDir resources;
    {
        QFile table(resources.filePath("Localizable.strings"));
        ASSERT_TRUE(table.open(QIODevice::WriteOnly));
        for (const auto& [key, other] : prompts)
            table.write(("\"" + key + "\" = \"" + other + "\";\n").c_str());
    }
    const QByteArray previous = qgetenv("BEATWICK_RESOURCE_DIR");
    TapWindow before, measuring;
    measuring.key(Qt::Key_B, "b");
    measuring.host.accuracy = 1;
    qputenv("BEATWICK_RESOURCE_DIR", resources.path().toLocal8Bit());
    const QImage first = before.view->renderToImage();
    const QImage second = measuring.view->renderToImage();
    qputenv("BEATWICK_RESOURCE_DIR", previous);

    expectInkNear(ink(first, 120, 240), centredText("Tap Here Now", 24, 300, 164).ink, "first line");
    expectInkNear(ink(first, 0, 120), centredText("Or Press A Key", 24, 300, 76).ink, "second line");
    expectInkNear(ink(second, 0, 240), centredText("Keep going", 24, 300, 120).ink, "measuring");
}

TEST(TapViewDrawing, AKnownTempoShowsDigitsMarksAndTheMetronomeBelow) {
    struct Case {
        const char* name;
        int bpm;
        int accuracy;
        bool check;
        bool runner;
    };
    const std::vector<Case> cases{
        {"settled, outside the running range", 128, 100, true, false},
        {"settled, in half the range (89 to 92)", 90, 100, true, true},
        {"settled, just above half the range", 93, 100, true, false},
        {"settled, in the range", 180, 100, true, true},
        {"settled, just above the range", 186, 100, true, false},
        {"still measuring", 180, 60, false, false},
    };
    for (const Case& c : cases) {
        TapWindow w;
        w.host.displayBPM = c.bpm;
        w.host.accuracy = c.accuracy;
        const QImage image = w.view->renderToImage();
        const std::string digits = std::to_string(c.bpm);
        const Placed placed = centredText(digits, 64, 300, 120);
        const NSRect box = placed.lineBox;
        // Digits: judged left of the check mark and above the metronome.
        expectInkNear(ink(image, int(NSMinY(box)) + 8, 240, 0, int(NSMaxX(box)) - 7), placed.ink, c.name,
                      false);

        const NSRect check = NSMakeRect(NSMaxX(box) - 6, NSMaxY(box) - 18, 14, 14);
        const NSRect runner = NSMakeRect(NSMaxX(box) - 4, NSMinY(box) + 8, 32, 32);
        const int pastDigits = int(std::ceil(placed.ink.right)) + 1;
        EXPECT_EQ(showsImageAt(image, "checkmarkgray.png", check, 1.0, pastDigits), c.check) << c.name;
        EXPECT_EQ(showsImageAt(image, "runnert.png", runner, 0.6, pastDigits), c.runner) << c.name;
        if (!c.check) {
            EXPECT_FALSE(ink(image, int(NSMinY(check)), int(NSMaxY(check)), pastDigits)) << c.name;
        }

        const MetronomeView& m = *w.view->metronomeView();
        EXPECT_FALSE(m.isHidden()) << c.name;
        EXPECT_EQ(m.frame(), NSMakeRect(132, std::round(NSMinY(box) - 30), 36, 36)) << c.name;
    }
}
