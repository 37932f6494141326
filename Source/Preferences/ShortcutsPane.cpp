#include "Source/Preferences/ShortcutsPane.h"

#include <QLabel>
#include <QPushButton>

#include "Source/KeyRecorder/KeyComboText.h"
#include "Source/MenuTags.h"
#include "Source/Preferences/StoredShortcuts.h"
#include "platform/AppKit/Application.h"
#include "platform/AppKit/View.h"
#include "platform/Foundation/Bundle.h"
#include "platform/Foundation/PropertyListSerialization.h"
#include "platform/Foundation/UserDefaults.h"

namespace {

// The labels of the recorders, in the order of shortcutCommands().
constexpr std::array<const char*, 18> kCommandLabels = {
    "Assign BPM",      "Halve BPM",        "Double BPM",
    "Play/Pause",      "Next Track",       "Previous Track",
    "Skip Forward",    "Skip Back",        "Next Track and Skip Forward",
    "Get Info",        "Switch to iTunes", "Rating Up",
    "Rating Down",     "Volume Up",        "Volume Down",
    "Start Metronome", "Increase BPM",     "Decrease BPM",
};

// Restore's order: the table's, with Get Info right after Double BPM and Switch right after Previous.
constexpr std::array<long, 18> kRestoreOrder = {
    kAssignMenuTag,       kHalveBPMMenuTag,    kDoubleBPMMenuTag,    kGetInfoMenuTag,
    kPlayPauseMenuTag,    kNextMenuTag,        kPreviousMenuTag,     kSwitchMenuTag,
    kSkipForwardMenuTag,  kSkipBackMenuTag,    kNextPlusSkipMenuTag, kRatingUpMenuTag,
    kRatingDownMenuTag,   kVolumeUpMenuTag,    kVolumeDownMenuTag,   kStartMetronomeMenuTag,
    kIncrementBPMMenuTag, kDecrementBPMMenuTag};

constexpr int kMargin = 20;
constexpr int kRowHeight = 26;
constexpr int kLabelWidth = 220;
constexpr int kRecorderWidth = 180;

std::string localized(const char* key) {
    return NSBundle::mainBundle().localizedStringForKey(key, "", "");
}

}  // namespace

ShortcutsPane::ShortcutsPane(NSUserDefaults& defaults, View& pane) : fDefaults(defaults) {
    int y = kMargin;
    auto addRow = [&](const std::string& label) {
        auto* text = new QLabel(QString::fromStdString(label), &pane);
        text->setGeometry(kMargin, y, kLabelWidth, KRRecorderControl::kHeight);
        auto* recorder = new KRRecorderControl(&pane);
        recorder->setGeometry(kMargin + kLabelWidth + 10, y, kRecorderWidth, KRRecorderControl::kHeight);
        recorder->setDelegate(this);
        y += kRowHeight;
        return recorder;
    };
    fHotkey1Recorder = addRow(localized("Bring Beatwick forward (global)"));
    y += kRowHeight / 2;
    for (size_t i = 0; i < fRecorders.size(); ++i) fRecorders[i] = addRow(localized(kCommandLabels[i]));

    fRestoreButton = new QPushButton(QString::fromStdString(localized("Restore Defaults")), &pane);
    fRestoreButton->setGeometry(kMargin, y + 6, 160, 24);
    connect(fRestoreButton, &QPushButton::clicked, this, [this] { restoreHotKeys(); });
    fHelpButton = new QPushButton(QStringLiteral("?"), &pane);
    fHelpButton->setObjectName(QStringLiteral("help"));
    fHelpButton->setGeometry(pane.width() - kMargin - 26, y + 6, 26, 24);
}

ShortcutsPane::~ShortcutsPane() {
    // The recorders belong to the pane's view and may outlive this object by a moment.
    fHotkey1Recorder->setDelegate(nullptr);
    for (KRRecorderControl* recorder : fRecorders) recorder->setDelegate(nullptr);
}

KRRecorderControl* ShortcutsPane::recorderForTag(long tag) const {
    for (size_t i = 0; i < fRecorders.size(); ++i)
        if (shortcutCommands()[i].tag == tag) return fRecorders[i];
    return nullptr;
}

int ShortcutsPane::indexOfRecorder(const KRRecorderControl* recorder) const {
    for (size_t i = 0; i < fRecorders.size(); ++i)
        if (fRecorders[i] == recorder) return static_cast<int>(i);
    return -1;
}

long ShortcutsPane::tagForRecorder(const KRRecorderControl* recorder) const {
    const int index = indexOfRecorder(recorder);
    return index < 0 ? 0 : shortcutCommands()[static_cast<size_t>(index)].tag;
}

void ShortcutsPane::setupShortCuts() {
    fHotkey1Recorder->setCanCaptureGlobalHotKeys(true);
    for (KRRecorderControl* recorder : fRecorders) recorder->setCanCaptureGlobalHotKeys(false);
    fHotkey1Recorder->setObjectValue(fDefaults.objectForKey(kHotKey1Key));
    const PropertyList::Dictionary stored =
        fDefaults.dictionaryForKey(kShortcutsKey).value_or(PropertyList::Dictionary{});
    for (size_t i = 0; i < fRecorders.size(); ++i) {
        const auto entry = stored.find(shortcutCommands()[i].name);
        fRecorders[i]->setObjectValue(entry == stored.end() ? std::nullopt
                                                            : std::optional<PropertyList>(entry->second));
    }
}

void ShortcutsPane::restoreHotKeys() {
    const std::optional<std::string> path =
        fFactoryPath ? fFactoryPath : NSBundle::mainBundle().pathForResource("Defaults", "plist");
    if (!path) return;
    Result<PropertyList> factory = PropertyListSerialization::propertyListWithContentsOfFile(*path);
    if (!factory || !factory.value().dictionary()) return;
    const PropertyList& values = factory.value();
    const PropertyList* hotKey = values.objectForKey(kHotKey1Key);
    fHotkey1Recorder->setObjectValue(hotKey ? std::optional<PropertyList>(*hotKey) : std::nullopt);
    const PropertyList* shortcuts = values.objectForKey(kShortcutsKey);
    for (long tag : kRestoreOrder) {
        KRRecorderControl* recorder = recorderForTag(tag);
        const int index = indexOfRecorder(recorder);
        const PropertyList* entry =
            shortcuts ? shortcuts->objectForKey(shortcutCommands()[static_cast<size_t>(index)].name)
                      : nullptr;
        recorder->setObjectValue(entry ? std::optional<PropertyList>(*entry) : std::nullopt);
    }
}

void ShortcutsPane::updateMenuItem(long tag, KeyCombo combo) {
    NSMenu* mainMenu = Application::sharedApplication().mainMenu();
    if (!mainMenu || !setMenuKeyEquivalent(*mainMenu, tag, {combo.code, combo.flags})) return;
    if (menuKeyEquivalentsChanged) menuKeyEquivalentsChanged();
}

bool ShortcutsPane::shortcutRecorderIsKeyCodeAndFlagsTaken(KRRecorderControl&, long, uint64_t, std::string&) {
    // The pane refuses nothing itself; the recorder's validator still checks the desktop and menus.
    return false;
}

void ShortcutsPane::shortcutRecorderKeyComboDidChange(KRRecorderControl& recorder, KeyCombo combo) {
    if (&recorder == fHotkey1Recorder) {
        const KeyCombo hotKey = recorder.keyCombo();
        // A number that is no key code registers nothing, rather than the key its low bits name.
        const int64_t code = KRIsVirtualKeyCode(hotKey.code) ? hotKey.code : -1;
        if (fHotKeyUpdater) fHotKeyUpdater(recorder.keyComboString().value_or(""), code, hotKey.flags);
        return;
    }
    const int index = indexOfRecorder(&recorder);
    if (index < 0) return;
    const ShortcutCommand& command = shortcutCommands()[static_cast<size_t>(index)];
    PropertyList::Dictionary stored =
        fDefaults.dictionaryForKey(kShortcutsKey).value_or(PropertyList::Dictionary{});
    stored[command.name] = valueForStoredShortcut({combo.code, combo.flags});
    fDefaults.setObject(PropertyList(stored), kShortcutsKey);
    updateMenuItem(command.tag, combo);
}
