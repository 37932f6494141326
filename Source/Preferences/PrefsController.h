// The preferences window's controller: four panes chosen from a toolbar (General, Notifications,
// Rules, Shortcuts), the last one chosen kept under "SelectedPrefView". The controls of the
// General and Notifications panes write their user-defaults keys at once and announce each change
// with a local notification, so the Controller re-reads the settings; sound choices are played
// once. Help buttons open the help book's page of the pane. The window is built on first use.
// Main thread only.
#pragma once

#include <QObject>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/AppKit/Geometry.h"

class NSSound;
class NSUserDefaults;
class PrefsWindow;
class QAction;
class QActionGroup;
class QToolBar;
class QWidget;
class ShortcutsPane;
class View;

class PrefsController : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kGeneralIdentifier = "TOOLBAR_GENERAL";
    static constexpr const char* kNotificationsIdentifier = "TOOLBAR_NOTIFICATIONS";
    static constexpr const char* kRulesIdentifier = "TOOLBAR_RULES";
    static constexpr const char* kHotKeysIdentifier = "TOOLBAR_HOTKEYS";
    static constexpr const char* kSelectedPrefViewKey = "SelectedPrefView";
    static constexpr const char* kToolbarIdentifier = "Preferences Toolbar";

    // Where the pane's sound lists come from; empty members take the system's.
    struct SoundSources {
        // The bundle's "Sounds" folder (tap and accent sounds, "aiff" files).
        std::optional<std::string> bundleSoundsFolder;
        // Folders whose sounds the system plays by name, in order.
        std::optional<std::vector<std::string>> systemSoundFolders;
        // Whether the system can play the sound of that name; by default every file of a
        // sound type.
        std::function<bool(const std::string& name)> canLoadNamedSound;
    };

    // The defaults are not owned and must outlive the controller.
    explicit PrefsController(NSUserDefaults& defaults, SoundSources sources = {});
    ~PrefsController() override;
    PrefsController(const PrefsController&) = delete;
    PrefsController& operator=(const PrefsController&) = delete;

    // Loads the layout when it was not loaded.
    PrefsWindow& window();
    bool hasLoaded() const { return fHasLoaded; }
    // Centred when it was not visible, then key and in front.
    void showWindow();

    // The pane of the toolbar item with the identifier, stored as the choice; without one, the
    // stored choice. Anything unknown shows the General pane.
    void setPrefView(const std::optional<std::string>& identifier);
    std::string selectedItemIdentifier() const;
    View* paneView(const std::string& identifier) const;
    View* currentPane() const { return fCurrentPane; }
    QToolBar* toolbar() const { return fToolbar; }
    QAction* toolbarItem(const std::string& identifier) const;
    // The four identifiers in toolbar order; the allowed, selectable and default lists alike.
    static const std::vector<std::string>& toolbarItemIdentifiers();

    // The control bound to a user-defaults key, once loaded.
    QWidget* controlForKey(const std::string& key) const;

    // Actions.
    void setTapSound();
    void setAlternateSound();
    void setSound();
    void soundSettingsChanged();
    void skipChanged();
    void minMaxBPMChanged();
    void metronomeStyleChanged();
    void windowStyleChanged();
    void halfStarRatingsChanged();
    void helpGeneral() { openHelpAnchor("general"); }
    void helpNotifications() { openHelpAnchor("notifications"); }
    void helpRules() { openHelpAnchor("rules"); }
    void helpShortcuts() { openHelpAnchor("shortcuts"); }

    // Sound lists for the pop-ups.
    std::vector<std::string> tapSounds() const;
    std::vector<std::string> alternateSounds() const { return tapSounds(); }
    std::vector<std::string> sounds() const;

    // Builds the Rules pane's contents (its own controller) in the pane when the window loads.
    std::function<QWidget*(QWidget* parent)> rulesPaneFactory;
    QWidget* rulesPaneContent() const { return fRulesContent; }
    // The Shortcuts pane, once loaded.
    ShortcutsPane* shortcutsPane() const { return fShortcuts.get(); }
    // Handed to the Shortcuts pane when it loads: hot key 1's changes, and a note after a menu
    // key equivalent changed.
    std::function<void(const std::string& keyComboString, int64_t keyCode, uint64_t flags)> hotKeyUpdater;
    std::function<void()> menuKeyEquivalentsChanged;

private:
    struct ControlSpec;
    void awakeFromNib();
    void buildToolbar();
    View* buildRulesPane();
    View* buildPane(const std::vector<ControlSpec>& specs, void (PrefsController::*help)());
    QWidget* buildControl(const ControlSpec& spec, QWidget* pane);
    static const std::vector<ControlSpec>& generalSpecs();
    static const std::vector<ControlSpec>& notificationSpecs();
    void perform(int action);
    void openHelpAnchor(const std::string& anchor);
    std::string bundleSoundsFolder() const;
    // Plays the bundle sound named by the pop-up bound to the key.
    void previewBundleSound(const char* key);
    std::string selectedTitle(const char* key) const;

    NSUserDefaults& fDefaults;
    SoundSources fSources;
    bool fHasLoaded{false};
    std::unique_ptr<PrefsWindow> fWindow;
    QToolBar* fToolbar{nullptr};
    QActionGroup* fToolbarGroup{nullptr};
    std::map<std::string, QAction*> fToolbarItems;
    View* fGeneralView{nullptr};
    View* fNotificationsView{nullptr};
    View* fRulesView{nullptr};
    View* fHotKeysView{nullptr};
    View* fCurrentPane{nullptr};
    std::map<std::string, View*> fPanes;  // by toolbar identifier
    std::map<std::string, QWidget*> fControls;
    std::unique_ptr<ShortcutsPane> fShortcuts;
    QWidget* fRulesContent{nullptr};
    // Kept while it plays.
    std::shared_ptr<NSSound> fPreviewSound;
};
