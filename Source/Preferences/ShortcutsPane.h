// The Shortcuts pane: one key recorder for global hot key 1 and one for each of the 18 commands
// of the commands submenu. A command's change is stored under "Shortcuts" and given to its menu
// item at once; hot key 1's goes to the hot-key layer, which registers and stores it. Restore
// puts back the factory values of the bundle's "Defaults" resource, hot key 2 left alone.
// Main thread only.
#pragma once

#include <QObject>
#include <array>
#include <functional>
#include <optional>
#include <string>

#include "Source/KeyRecorder/KRRecorderControl.h"

class NSUserDefaults;
class QPushButton;
class View;

class ShortcutsPane : public QObject, private KRRecorderDelegate {
    Q_OBJECT
public:
    // Hands hot key 1 to the hot-key layer: its display string, key code and Cocoa flags.
    using HotKeyUpdater =
        std::function<void(const std::string& keyComboString, int64_t keyCode, uint64_t flags)>;

    // Builds the recorders in the pane; the defaults must outlive the pane.
    ShortcutsPane(NSUserDefaults& defaults, View& pane);
    ~ShortcutsPane() override;

    // Fills the recorders from the defaults; each value flows through the change path, so the
    // entries are rewritten and the menu's key equivalents reapplied.
    void setupShortCuts();
    // The restore button.
    void restoreHotKeys();
    // The menu tag of the command's recorder, 0 for any other control.
    long tagForRecorder(const KRRecorderControl* recorder) const;
    // Gives the commands submenu's item with the tag the combination (code -1: none).
    void updateMenuItem(long tag, KeyCombo combo);

    KRRecorderControl& hotkey1Recorder() { return *fHotkey1Recorder; }
    // The recorder of the command with the tag (200 to 217), or nullptr.
    KRRecorderControl* recorderForTag(long tag) const;
    QPushButton* restoreButton() const { return fRestoreButton; }
    QPushButton* helpButton() const { return fHelpButton; }

    void setHotKeyUpdater(HotKeyUpdater updater) { fHotKeyUpdater = std::move(updater); }
    // Called after a menu key equivalent changed, so the bindings can follow.
    std::function<void()> menuKeyEquivalentsChanged;
    // Where the factory values come from; the bundle's "Defaults.plist" unless set.
    void setFactoryDefaultsPath(std::optional<std::string> path) { fFactoryPath = std::move(path); }

private:
    bool shortcutRecorderIsKeyCodeAndFlagsTaken(KRRecorderControl& recorder, long keyCode, uint64_t flags,
                                                std::string& reason) override;
    void shortcutRecorderKeyComboDidChange(KRRecorderControl& recorder, KeyCombo combo) override;
    int indexOfRecorder(const KRRecorderControl* recorder) const;

    NSUserDefaults& fDefaults;
    KRRecorderControl* fHotkey1Recorder{nullptr};
    std::array<KRRecorderControl*, 18> fRecorders{};  // in the order of shortcutCommands()
    QPushButton* fRestoreButton{nullptr};
    QPushButton* fHelpButton{nullptr};
    HotKeyUpdater fHotKeyUpdater;
    std::optional<std::string> fFactoryPath;
};
