#include <gtest/gtest.h>

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPalette>
#include <QShortcut>
#include <QTest>
#include <cmath>

#include "Source/KeyRecorder/KRRecorderControl.h"
#include "Source/KeyRecorder/KRSharedImageProvider.h"
#include "Source/KeyRecorder/KeyComboText.h"
#include "platform/AppKit/Alert.h"
#include "platform/AppKit/Application.h"
#include "platform/AppKit/DesktopShortcuts.h"
#include "platform/AppKit/Image.h"
#include "platform/AppKit/KeyCodes.h"
#include "platform/AppKit/KeyboardLayout.h"
#include "platform/AppKit/Menu.h"
#include "platform/AppKit/SymbolicHotKeyMode.h"
#include "platform/AppKit/Window.h"
#include "platform/Foundation/Preferences.h"
#include "platform/Foundation/UserDefaults.h"
#include "platform/Foundation/VirtualScheduler.h"
#include "tests/support/TestApplication.h"

namespace {

constexpr int kKeyCodeB = 11;
constexpr uint64_t kCommandShift = NSCommandKeyMask | NSShiftKeyMask;

class NoDesktopBindings : public DesktopShortcuts {
public:
    std::optional<std::vector<SymbolicHotKey>> symbolicHotKeys() override { return hotKeys; }
    bool isCombinationHeld(int, uint32_t) override { return false; }
    std::optional<std::vector<SymbolicHotKey>> hotKeys = std::vector<SymbolicHotKey>{};
};

// Answers every alert at once and keeps what it showed; `during` runs while the alert is up.
class RecordingPresenter : public AlertPresenter {
public:
    void present(const NSAlert& alert, Window*, std::function<void(NSModalResponse)> done) override {
        shown.push_back(alert);
        if (during) during();
        done(NSAlertFirstButtonReturn);
    }
    std::vector<NSAlert> shown;
    std::function<void()> during;
};

class RecordingDelegate : public KRRecorderDelegate {
public:
    bool shortcutRecorderIsKeyCodeAndFlagsTaken(KRRecorderControl&, long keyCode, uint64_t flags,
                                                std::string& why) override {
        if (keyCode != refusedCode || flags != refusedFlags) return false;
        why = reason;
        return true;
    }
    void shortcutRecorderKeyComboDidChange(KRRecorderControl&, KeyCombo combo) override {
        changes.push_back(combo);
    }
    long refusedCode{-2};
    uint64_t refusedFlags{0};
    std::string reason;
    std::vector<KeyCombo> changes;
};

// A focused recorder in an active window, on virtual time, with no desktop bindings, an empty
// main menu, a "us" keyboard, and the beeps and alerts counted.
struct Recorder : ::testing::Test {
    void SetUp() override {
        testApplication();
        KeyboardLayout::setCurrent(KeyboardLayout::fromNames("us"));
        setBeepHandler([this] { ++beeps; });
        AlertPresenter::setCurrent(&alerts);
        window = std::make_unique<Window>(NSMakeSize(300, 100));
        control = new KRRecorderControl(NSMakeRect(20, 40, 200, 22), window->contentView());
        control->cell().validator().setDesktopShortcuts(&desktop);
        control->cell().validator().setMainMenu(&menu);
        control->cell().setUserDefaults(&defaults);
        control->setDelegate(&delegate);
        window->show();
        QApplication::setActiveWindow(window.get());
        ASSERT_TRUE(window->makeFirstResponder(control));
        ASSERT_TRUE(control->hasFocus());
    }
    void TearDown() override {
        window.reset();
        AlertPresenter::setCurrent(nullptr);
        setBeepHandler({});
    }

    // A key as the window system delivers it: the shortcut override first, then the press.
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyPress(control, key, modifiers);
    }
    void startRecording() {
        press(Qt::Key_Space, Qt::NoModifier);
        ASSERT_TRUE(control->cell().isRecording());
    }
    std::string shownText() const { return control->cell().displayedText(); }

    VirtualScheduler virtualTime;
    ScopedScheduler scheduler{virtualTime};
    NoDesktopBindings desktop;
    NSMenu menu;
    PreferencesStore store{::testing::TempDir() + "/recorder-prefs"};
    NSUserDefaults defaults{store, "com.orvo.Beatwick.RecorderTest"};
    RecordingPresenter alerts;
    RecordingDelegate delegate;
    int beeps{0};
    std::unique_ptr<Window> window;
    KRRecorderControl* control{nullptr};
};

}  // namespace

TEST_F(Recorder, RecordsACommandShiftLetterAndShowsIt) {
    EXPECT_EQ(shownText(), "Click to record shortcut");
    startRecording();
    EXPECT_EQ(shownText(), "Type shortcut");
    press(Qt::Key_B, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_FALSE(control->cell().isRecording());
    EXPECT_EQ(control->keyCombo(), (KeyCombo{kCommandShift, kKeyCodeB}));
    EXPECT_EQ(control->keyComboString(), "Ctrl+Shift+B");
    ASSERT_EQ(delegate.changes.size(), 1u);
    EXPECT_EQ(delegate.changes[0], (KeyCombo{kCommandShift, kKeyCodeB}));
    EXPECT_EQ(shownText(), "Ctrl+Shift+B");
    const std::optional<PropertyList> value = control->objectValue();
    ASSERT_TRUE(value);
    EXPECT_EQ(value->objectForKey("keyCode")->integer(), kKeyCodeB);
    EXPECT_EQ(value->objectForKey("modifierFlags")->integer(), static_cast<int64_t>(kCommandShift));
    EXPECT_EQ(*value->objectForKey("characters")->string(), "B");
}

TEST_F(Recorder, WhileRecordingTheRecorderWinsOverApplicationShortcuts) {
    int fired = 0;
    QShortcut quit(QKeySequence(Qt::CTRL | Qt::Key_Q), window.get());
    quit.setContext(Qt::ApplicationShortcut);
    QObject::connect(&quit, &QShortcut::activated, [&] { ++fired; });

    press(Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(fired, 1) << "an idle recorder leaves Command combinations to the menus";

    startRecording();
    press(Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(control->keyCombo(), (KeyCombo{NSCommandKeyMask, kKeyCodeQ}));
}

TEST_F(Recorder, CancelKeysAndKeyOnlyCombinationsFollowTheTwoSettings) {
    struct Case {
        const char* name;
        bool allowsKeyOnly;
        bool escapeKeysRecord;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        bool stillRecording;
        KeyCombo recorded;  // the value afterwards; it starts as Command-B
    };
    const KeyCombo old{NSCommandKeyMask, kKeyCodeB};
    const Case cases[] = {
        {"Escape cancels", false, false, Qt::Key_Escape, Qt::NoModifier, false, old},
        {"Escape cancels even when escapes would record", false, true, Qt::Key_Escape, Qt::NoModifier, false,
         old},
        {"key-only Escape still cancels", true, false, Qt::Key_Escape, Qt::NoModifier, false, old},
        {"key-only Escape records", true, true, Qt::Key_Escape, Qt::NoModifier, false, {0, kKeyCodeEscape}},
        {"Backspace cancels", false, false, Qt::Key_Backspace, Qt::NoModifier, false, old},
        {"Command-Escape records",
         false,
         false,
         Qt::Key_Escape,
         Qt::ControlModifier,
         false,
         {NSCommandKeyMask, kKeyCodeEscape}},
        {"a plain letter is neither", false, false, Qt::Key_A, Qt::NoModifier, true, old},
        {"a key-only letter records", true, false, Qt::Key_A, Qt::NoModifier, false, {0, kKeyCodeA}},
        {"the function modifier alone counts",
         false,
         false,
         Qt::Key_F1,
         Qt::NoModifier,
         false,
         {NSFunctionKeyMask, kKeyCodeF1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        control->setKeyCombo(old);
        control->setAllowsKeyOnly(c.allowsKeyOnly, c.escapeKeysRecord);
        startRecording();
        press(c.key, c.modifiers);
        EXPECT_EQ(control->cell().isRecording(), c.stillRecording);
        EXPECT_EQ(control->keyCombo(), c.recorded);
        if (control->cell().isRecording()) press(Qt::Key_Escape);
    }
}

TEST_F(Recorder, APlainLetterWithoutModifiersIsPassedOn) {
    startRecording();
    QKeyEvent e(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
    QApplication::sendEvent(control, &e);
    EXPECT_FALSE(e.isAccepted());
    EXPECT_TRUE(control->cell().isRecording());
}

TEST_F(Recorder, ARefusedCombinationIsExplainedAndRecordingGoesOn) {
    delegate.refusedCode = kKeyCodeB;
    delegate.refusedFlags = NSCommandKeyMask;
    delegate.reason = "it plays the beat";
    bool recordingDuringAlert = false;
    alerts.during = [&] {
        // The alert takes the window's activation: that is no loss of the keyboard.
        QFocusEvent out(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
        QApplication::sendEvent(control, &out);
        recordingDuringAlert = control->cell().isRecording();
    };
    startRecording();
    press(Qt::Key_B, Qt::ControlModifier);
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].alertStyle, NSAlertStyle::Critical);
    EXPECT_EQ(alerts.shown[0].messageText, "The key combination Ctrl+B can't be used!");
    EXPECT_EQ(alerts.shown[0].informativeText,
              "The key combination \"Ctrl+B\" can't be used because it plays the beat.");
    EXPECT_EQ(alerts.shown[0].buttonTitles(), std::vector<std::string>{"OK"});
    EXPECT_TRUE(recordingDuringAlert);
    EXPECT_TRUE(control->cell().isRecording());
    EXPECT_TRUE(delegate.changes.empty());

    // Another combination is then taken.
    press(Qt::Key_B, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_FALSE(control->cell().isRecording());
    EXPECT_EQ(control->keyCombo(), (KeyCombo{kCommandShift, kKeyCodeB}));
}

TEST_F(Recorder, ARefusalWithoutAReasonStillSaysWhatWasRefused) {
    desktop.hotKeys.reset();  // unreadable desktop bindings refuse everything, without an error
    startRecording();
    press(Qt::Key_B, Qt::ControlModifier);
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].messageText, "The key combination Ctrl+B can't be used!");
    EXPECT_EQ(alerts.shown[0].buttonTitles(), std::vector<std::string>{"OK"});
    EXPECT_TRUE(control->cell().isRecording());
}

TEST_F(Recorder, KeysThatCannotBecomeAShortcutBeepAndEndRecordingWithoutAChange) {
    struct Case {
        const char* name;
        Qt::Key key;
        QString text;
    };
    const Case cases[] = {
        {"a dead key types nothing yet", Qt::Key_Dead_Acute, QString()},
        {"a key without a key code could never be shown", Qt::Key_Eacute, QStringLiteral("\u00e9")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        control->setKeyCombo({NSCommandKeyMask, kKeyCodeB});
        delegate.changes.clear();
        beeps = 0;
        startRecording();
        QKeyEvent key(QEvent::KeyPress, c.key, Qt::ControlModifier, c.text);
        QApplication::sendEvent(control, &key);
        EXPECT_EQ(beeps, 1);
        EXPECT_FALSE(control->cell().isRecording());
        EXPECT_EQ(control->keyCombo(), (KeyCombo{NSCommandKeyMask, kKeyCodeB}));
        EXPECT_TRUE(delegate.changes.empty());
    }
}

TEST_F(Recorder, TheMouseOverTheSnapbackButtonOffersTheOldShortcut) {
    control->setKeyCombo({NSCommandKeyMask, kKeyCodeB});
    startRecording();
    const NSRect snapback = control->cell().snapbackRectForFrame(control->bounds());
    ASSERT_EQ(control->trackingAreas().size(), 1u);
    EXPECT_EQ(control->trackingAreas()[0].rect, snapback);
    QTest::mouseMove(control, QPoint(static_cast<int>(NSMidX(snapback)), 11));
    EXPECT_TRUE(control->cell().mouseInsideTrackingArea());
    EXPECT_EQ(shownText(), "Use old shortcut");
    QTest::mouseMove(control, QPoint(30, 11));
    EXPECT_EQ(shownText(), "Type shortcut");
}

TEST_F(Recorder, HeldModifiersShowWhileRecording) {
    startRecording();
    // Qt reports a modifier key's press with the modifiers held before it.
    QKeyEvent shift(QEvent::KeyPress, Qt::Key_Shift, Qt::ControlModifier);
    QApplication::sendEvent(control, &shift);
    EXPECT_EQ(control->cell().recordingFlags(), kCommandShift);
    EXPECT_EQ(shownText(), "Ctrl+Shift+");
}

TEST_F(Recorder, LosingTheKeyboardEndsRecordingButTheWindowGoingInactiveDoesNot) {
    startRecording();
    QFocusEvent inactive(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(control, &inactive);
    EXPECT_TRUE(control->cell().isRecording());
    QFocusEvent tabbedAway(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(control, &tabbedAway);
    EXPECT_FALSE(control->cell().isRecording());
}

TEST_F(Recorder, GlobalCaptureHoldsTheKeyboardOnlyWhileRecording) {
    control->setCanCaptureGlobalHotKeys(true);
    startRecording();
    EXPECT_EQ(QWidget::keyboardGrabber(), control);
    EXPECT_EQ(currentSymbolicHotKeyMode(), kHIHotKeyModeAllDisabled);
    // A second start (Space while recording) must not stack a second mode.
    press(Qt::Key_Space);
    press(Qt::Key_Escape);
    EXPECT_FALSE(control->cell().isRecording());
    EXPECT_EQ(QWidget::keyboardGrabber(), nullptr);
    EXPECT_EQ(currentSymbolicHotKeyMode(), kHIHotKeyModeAllEnabled);

    // The refusal alert needs the keyboard; recording takes it back afterwards.
    delegate.refusedCode = kKeyCodeB;
    delegate.refusedFlags = NSCommandKeyMask;
    QWidget* grabberDuringAlert = control;
    alerts.during = [&] { grabberDuringAlert = QWidget::keyboardGrabber(); };
    startRecording();
    press(Qt::Key_B, Qt::ControlModifier);
    EXPECT_EQ(grabberDuringAlert, nullptr);
    EXPECT_EQ(QWidget::keyboardGrabber(), control);

    // A recorder that goes while recording gives the desktop its shortcuts back.
    window.reset();
    EXPECT_EQ(currentSymbolicHotKeyMode(), kHIHotKeyModeAllEnabled);
    EXPECT_EQ(QWidget::keyboardGrabber(), nullptr);
}

TEST_F(Recorder, TheAnimatedTransitionEndsOnItsEleventhTick) {
    control->setStyle(1);
    control->setAnimates(true);
    const int64_t tick = 33;  // 1/30 second, as the scheduler rounds it
    press(Qt::Key_Space);
    EXPECT_TRUE(control->cell().isAnimatingNow());
    for (int i = 1; i <= 10; ++i) {
        virtualTime.advance(tick);
        EXPECT_FALSE(control->cell().isRecording()) << "tick " << i;
        EXPECT_NEAR(control->cell().transitionProgress(), i * KRRecorderCell::kTransitionStep, 1e-9);
    }
    virtualTime.advance(tick);
    EXPECT_TRUE(control->cell().isRecording());
    EXPECT_FALSE(control->cell().isAnimatingNow());
    EXPECT_EQ(control->cell().transitionProgress(), 0);
    EXPECT_EQ(virtualTime.scheduledCount(), 0u);

    // Back to idle the same way.
    press(Qt::Key_Escape);
    virtualTime.advance(10 * tick);
    EXPECT_TRUE(control->cell().isRecording());
    virtualTime.advance(tick);
    EXPECT_FALSE(control->cell().isRecording());

    // The regular style, or an animated one that does not animate, switches at once.
    for (auto [style, animates] : {std::pair{0, true}, std::pair{1, false}}) {
        control->setStyle(style);
        control->setAnimates(animates);
        press(Qt::Key_Space);
        EXPECT_TRUE(control->cell().isRecording());
        press(Qt::Key_Escape);
        EXPECT_FALSE(control->cell().isRecording());
    }
}

TEST_F(Recorder, FramesKeepTheFixedHeightAndTheLeastWidth) {
    control->setFrame(NSMakeRect(10, 10, 40, 30));
    EXPECT_EQ(control->frame(), NSMakeRect(10, 10, 50, 22));
    control->setFrameSize(NSMakeSize(180, 10));
    EXPECT_EQ(control->frame().size, NSMakeSize(180, 22));
}

TEST_F(Recorder, ValuesFromOutsideAreFilteredAndReachTheDelegateOnce) {
    control->setAllowedFlags(NSCommandKeyMask | NSAlternateKeyMask | NSFunctionKeyMask);
    control->setRequiredFlags(NSAlternateKeyMask);
    control->setKeyCombo({kCommandShift, kKeyCodeB});
    ASSERT_EQ(delegate.changes.size(), 1u);
    EXPECT_EQ(control->keyCombo(), (KeyCombo{NSCommandKeyMask | NSAlternateKeyMask, kKeyCodeB}));

    delegate.changes.clear();
    PropertyList::Dictionary value{{"keyCode", PropertyList(kKeyCodeQ)},
                                   {"modifierFlags", PropertyList(static_cast<int>(NSCommandKeyMask))}};
    control->setObjectValue(PropertyList(value));
    EXPECT_EQ(delegate.changes.size(), 1u);
    EXPECT_EQ(control->keyCombo(), (KeyCombo{NSCommandKeyMask | NSAlternateKeyMask, kKeyCodeQ}));

    // Undecodable values clear it (the required modifier stays, with no key).
    control->setObjectValue(PropertyList("Command-Q"));
    EXPECT_EQ(control->keyCombo(), (KeyCombo{NSAlternateKeyMask, -1}));
    EXPECT_EQ(control->objectValue(), std::nullopt);
}

TEST_F(Recorder, ACombinationWithoutModifiersHasNoObjectValue) {
    control->setAllowsKeyOnly(true);
    control->setKeyCombo({0, kKeyCodeA});
    EXPECT_EQ(control->objectValue(), std::nullopt);
    EXPECT_EQ(control->keyComboString(), "A");
}

TEST_F(Recorder, TheRemoveButtonClearsAndTheSnapbackButtonCancels) {
    control->setKeyCombo({NSCommandKeyMask, kKeyCodeB});
    const NSRect remove = control->cell().removeButtonRectForFrame(control->bounds());
    EXPECT_EQ(remove, NSMakeRect(200 - 14 - 4, 4, 14, 14));
    const auto qtPoint = [&](const NSRect& r) {
        return QPoint(static_cast<int>(NSMidX(r)), static_cast<int>(control->height() - NSMidY(r)));
    };
    QTest::mouseClick(control, Qt::LeftButton, Qt::NoModifier, qtPoint(remove));
    EXPECT_EQ(control->keyCombo(), kEmptyKeyCombo);
    EXPECT_FALSE(control->cell().isRecording());

    control->setKeyCombo({NSCommandKeyMask, kKeyCodeB});
    QTest::mouseClick(control, Qt::LeftButton, Qt::NoModifier, QPoint(30, 11));
    EXPECT_TRUE(control->cell().isRecording());
    const NSRect snapback = control->cell().snapbackRectForFrame(control->bounds());
    QTest::mouseClick(control, Qt::LeftButton, Qt::NoModifier, qtPoint(snapback));
    EXPECT_FALSE(control->cell().isRecording());
    EXPECT_EQ(control->keyCombo(), (KeyCombo{NSCommandKeyMask, kKeyCodeB}));
}

TEST_F(Recorder, TheValueIsAutosavedAndLoadedUnderItsName) {
    control->setAutosaveName("Test");
    startRecording();
    press(Qt::Key_B, Qt::ControlModifier | Qt::ShiftModifier);
    const auto saved = defaults.dictionaryForKey("KeyRecorder Test");
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->at("keyCode").integer(), kKeyCodeB);
    EXPECT_EQ(saved->at("modifierFlags").integer(), static_cast<int64_t>(kCommandShift));
    EXPECT_EQ(saved->at("modifiers").integer(), 0x300);

    // A value saved with only the Carbon mask loads through it.
    defaults.setObject(PropertyList(PropertyList::Dictionary{{"keyCode", PropertyList(kKeyCodeQ)},
                                                             {"modifiers", PropertyList(0x100)}}),
                       "KeyRecorder Other");
    KRRecorderControl other(NSMakeRect(0, 0, 100, 22), window->contentView());
    other.cell().setUserDefaults(&defaults);
    other.setAutosaveName("Other");
    EXPECT_EQ(other.keyCombo(), (KeyCombo{NSCommandKeyMask, kKeyCodeQ}));
}

TEST_F(Recorder, TheArchiveKeepsTheSettingsAndAlwaysAllowsTheFunctionModifier) {
    control->setKeyCombo({NSCommandKeyMask, kKeyCodeB});
    control->setAllowedFlags(NSCommandKeyMask);
    control->setAllowsKeyOnly(true, true);
    control->setStyle(1);
    const PropertyList::Dictionary archive = control->cell().encodeWithCoder();
    KRRecorderCell decoded;
    decoded.initWithCoder(archive);
    EXPECT_EQ(decoded.keyCombo(), (KeyCombo{NSCommandKeyMask, kKeyCodeB}));
    EXPECT_EQ(decoded.allowedFlags(), NSCommandKeyMask | NSFunctionKeyMask);
    EXPECT_TRUE(decoded.allowsKeyOnly());
    EXPECT_TRUE(decoded.escapeKeysRecord());
    EXPECT_EQ(decoded.style(), KRRecorderStyle::Animated);
}

// Images and drawing, probed by pixel.

TEST(RecorderImages, TheButtonImagesAreDrawnAsTheyAreNamed) {
    testApplication();
    struct Case {
        const char* name;
        double discAlpha;
    };
    const Case removes[] = {
        {"KRRemoveShortcut", 0.25}, {"KRRemoveShortcutRollover", 0.35}, {"KRRemoveShortcutPressed", 0.45}};
    for (const Case& c : removes) {
        SCOPED_TRACE(c.name);
        const auto image = KRSharedImageProvider::supportingImageWithName(c.name);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->size(), NSMakeSize(14, 14));
        EXPECT_EQ(KRSharedImageProvider::supportingImageWithName(c.name), image);
        const QImage& pixels = image->qtImage();
        // Between the cross's arms the disc shows; on the cross it is white; outside, nothing.
        const QColor disc = pixels.pixelColor(7, 2);
        EXPECT_NEAR(disc.alphaF(), c.discAlpha, 0.02);
        EXPECT_LT(disc.redF(), 0.05);
        const QColor cross = pixels.pixelColor(7, 7);
        EXPECT_GT(cross.redF(), 0.9);
        EXPECT_GT(cross.alphaF(), 0.9);
        EXPECT_EQ(pixels.pixelColor(0, 0).alpha(), 0);
    }
    const auto snapback = KRSharedImageProvider::supportingImageWithName("KRSnapback");
    ASSERT_TRUE(snapback);
    EXPECT_EQ(snapback->size(), NSMakeSize(14, 14));
    const QImage& arrow = snapback->qtImage();
    // The head points left at the top; the shaft curves down on the right.
    EXPECT_GT(arrow.pixelColor(4, 5).redF(), 0.9);
    EXPECT_GT(arrow.pixelColor(4, 5).alphaF(), 0.9);
    EXPECT_GT(arrow.pixelColor(10, 9).alphaF(), 0.5);
    EXPECT_EQ(arrow.pixelColor(1, 12).alpha(), 0);
    EXPECT_EQ(KRSharedImageProvider::supportingImageWithName("KRNoSuchImage"), nullptr);
}

// The contrast of the text against the background beside it, as a screenshot shows them: in the
// middle rows, the pixel that stands out most from the background at the row's left.
double shownTextContrast(const QImage& image) {
    const auto luminance = [](const QColor& c) {
        const auto linear = [](double v) {
            return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    double most = 1;
    for (int y = image.height() / 4; y < image.height() * 3 / 4; ++y) {
        const double background = luminance(image.pixelColor(10, y));
        for (int x = 20; x < image.width() - 30; ++x) {
            const double ink = luminance(image.pixelColor(x, y));
            most = std::max(most, (std::max(ink, background) + 0.05) / (std::min(ink, background) + 0.05));
        }
    }
    return most;
}

TEST_F(Recorder, TheRecordingPromptIsLegibleOnTheRecordingBackground) {
    const QPalette original = QApplication::palette();
    const struct {
        const char* name;
        QColor highlight;
    } palettes[] = {
        {"the stock blue", original.color(QPalette::Highlight)},
        {"a pale blue", QColor("#9fcbf5")},
        {"a dark blue", QColor("#1c3552")},
        {"yellow", QColor("#ffd000")},
        {"mid grey", QColor("#777777")},
    };
    for (const auto& palette : palettes) {
        QPalette changed = original;
        changed.setColor(QPalette::Highlight, palette.highlight);
        QApplication::setPalette(changed);
        control->cell().updateRecordingGradient();  // as when the desktop's colours change
        startRecording();
        ASSERT_EQ(shownText(), "Type shortcut");
        EXPECT_GE(shownTextContrast(control->renderToImage()), 4.5) << palette.name;
        // Over the snapback button the background darkens and the text offers the old shortcut.
        const NSRect snapback = control->cell().snapbackRectForFrame(control->bounds());
        control->cell().mouseEntered("snapback");
        ASSERT_EQ(shownText(), "Use old shortcut");
        EXPECT_GE(shownTextContrast(control->renderToImage()), 4.5) << palette.name << ", mouse over";
        control->cell().mouseDown({NSMidX(snapback), NSMidY(snapback)});
        EXPECT_GE(shownTextContrast(control->renderToImage()), 4.5) << palette.name << ", mouse down";
        control->cell().mouseUp({NSMidX(snapback), NSMidY(snapback)});
        ASSERT_FALSE(control->cell().isRecording());
    }
    QApplication::setPalette(original);
    control->cell().updateRecordingGradient();

    // The animated style records on white.
    control->setStyle(1);
    startRecording();
    EXPECT_GE(shownTextContrast(control->renderToImage()), 4.5) << "animated";
}

TEST_F(Recorder, TheControlDrawsItsStates) {
    const auto pixelAt = [&](int x, int y) { return control->renderToImage().pixelColor(x, y); };
    // Idle and empty: white inside the outline.
    EXPECT_EQ(pixelAt(100, 11), QColor(Qt::white));
    // With a value, the remove button sits at the right.
    control->setKeyCombo({NSCommandKeyMask, kKeyCodeB});
    const QColor button = pixelAt(200 - 4 - 7, 11 - 5);
    EXPECT_LT(button.lightnessF(), 0.9);
    // Recording: the gradient fills the control.
    startRecording();
    const QColor recording = pixelAt(100, 11);
    EXPECT_NE(recording, QColor(Qt::white));
    EXPECT_GT(recording.saturationF(), 0.1);
}
