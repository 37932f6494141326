#include "Source/Preferences/PrefsController.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QStyle>
#include <QToolBar>
#include <QUrl>
#include <algorithm>
#include <filesystem>
#include <set>

#include "Source/Preferences/PrefsWindow.h"
#include "Source/Preferences/ShortcutsPane.h"
#include "Source/Toolkit/IntegerOnlyNumberFormatter.h"
#include "Source/WebLinks.h"
#include "platform/AppKit/Alert.h"
#include "platform/AppKit/Image.h"
#include "platform/AppKit/PopUpButton.h"
#include "platform/AppKit/TextField.h"
#include "platform/AppKit/View.h"
#include "platform/AudioToolbox/NSSound.h"
#include "platform/Foundation/Bundle.h"
#include "platform/Foundation/NotificationCenter.h"
#include "platform/Foundation/UserDefaults.h"

namespace fs = std::filesystem;

namespace {

// What a control does after writing its key.
enum class PrefAction {
    None,
    SetTapSound,
    SetAlternateSound,
    SetSound,
    SoundSettingsChanged,
    SkipChanged,
    MinMaxBPMChanged,
    MetronomeStyleChanged,
    WindowStyleChanged,
    HalfStarRatingsChanged,
};

enum class ControlKind {
    Check,     // a boolean
    TapSound,  // a pop-up of the bundle's sounds, by name
    AlternateSound,
    SystemSound,  // a pop-up of the system's named sounds
    Choice,       // a pop-up of fixed titles standing for integers
    Integer,      // a whole-number field stored as a number
    Seconds,      // a whole-number field stored as text
};

struct Choice {
    const char* title;
    long value;
};

struct ToolbarSpec {
    const char* identifier;
    const char* label;
    const char* image;  // empty: the system's preferences image
};

const ToolbarSpec kToolbarSpecs[] = {
    {PrefsController::kGeneralIdentifier, "General", ""},
    {PrefsController::kNotificationsIdentifier, "Notifications", "NotifyPrefs.png"},
    {PrefsController::kRulesIdentifier, "Rules", "RulePrefs.png"},
    {PrefsController::kHotKeysIdentifier, "Shortcuts", "ShortcutPrefs.png"},
};

const ToolbarSpec* toolbarSpec(const std::string& identifier) {
    for (const ToolbarSpec& spec : kToolbarSpecs)
        if (identifier == spec.identifier) return &spec;
    return nullptr;
}

std::string localized(const char* key) {
    return NSBundle::mainBundle().localizedStringForKey(key, "", "");
}

constexpr int kPaneWidth = 480;
constexpr int kMargin = 20;
constexpr int kRowHeight = 26;
constexpr NSSize kRulesPaneSize{560, 360};
constexpr NSSize kShortcutsPaneSize{480, 600};

// The names without extension of the folder's files of that extension, as the listing gives them.
std::vector<std::string> soundNamesIn(const std::string& folder, const std::string& extension) {
    std::vector<std::string> names;
    std::error_code error;
    fs::directory_iterator it(folder, error);
    if (error) return names;
    for (const fs::directory_entry& entry : it) {
        const fs::path& path = entry.path();
        if (!entry.is_regular_file(error)) continue;
        if (path.extension() != "." + extension) continue;
        names.push_back(path.stem().string());
    }
    return names;
}

// The sound theme's files, subfolders included, with the extensions the system plays by name.
std::vector<std::string> themeSoundNamesIn(const std::string& folder) {
    static const std::set<std::string> extensions = {".oga", ".ogg", ".wav", ".flac", ".aiff", ".aif"};
    std::vector<std::string> names;
    std::error_code error;
    fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, error);
    for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        std::error_code typeError;
        if (it->is_regular_file(typeError) && extensions.contains(it->path().extension().string()))
            names.push_back(it->path().stem().string());
    }
    return names;
}

std::vector<std::string> systemSoundFolders() {
    std::vector<std::string> folders;
    const char* home = std::getenv("XDG_DATA_HOME");
    if (home && *home)
        folders.push_back(std::string(home) + "/sounds");
    else if (const char* user = std::getenv("HOME"))
        folders.push_back(std::string(user) + "/.local/share/sounds");
    std::string dirs = std::getenv("XDG_DATA_DIRS") && *std::getenv("XDG_DATA_DIRS")
                           ? std::getenv("XDG_DATA_DIRS")
                           : "/usr/local/share:/usr/share";
    size_t start = 0;
    while (start <= dirs.size()) {
        const size_t end = std::min(dirs.find(':', start), dirs.size());
        if (end > start) folders.push_back(dirs.substr(start, end - start) + "/sounds");
        start = end + 1;
    }
    return folders;
}

}  // namespace

struct PrefsController::ControlSpec {
    ControlKind kind;
    const char* key;
    const char* title;
    PrefAction action;
    std::vector<Choice> choices{};
};

PrefsController::PrefsController(NSUserDefaults& defaults, SoundSources sources)
    : fDefaults(defaults), fSources(std::move(sources)) {}

PrefsController::~PrefsController() {
    NSNotificationCenter::defaultCenter().removeObserver(this);
    // The pane's recorders live in the window; the pane lets go of them before it goes.
    fShortcuts.reset();
}

PrefsWindow& PrefsController::window() {
    if (!fHasLoaded) awakeFromNib();
    return *fWindow;
}

void PrefsController::showWindow() {
    PrefsWindow& shown = window();
    if (!shown.isVisible()) shown.center();
    shown.makeKeyAndOrderFront();
}

const std::vector<std::string>& PrefsController::toolbarItemIdentifiers() {
    static const std::vector<std::string> identifiers = [] {
        std::vector<std::string> list;
        for (const ToolbarSpec& spec : kToolbarSpecs) list.emplace_back(spec.identifier);
        return list;
    }();
    return identifiers;
}

void PrefsController::awakeFromNib() {
    fHasLoaded = true;
    fWindow = std::make_unique<PrefsWindow>(NSSize{kPaneWidth, 100});
    fGeneralView = buildPane(generalSpecs(), &PrefsController::helpGeneral);
    fNotificationsView = buildPane(notificationSpecs(), &PrefsController::helpNotifications);
    fRulesView = buildRulesPane();
    fHotKeysView = new View(NSRect{{0, 0}, kShortcutsPaneSize}, fWindow->contentView());
    fPanes = {{kGeneralIdentifier, fGeneralView},
              {kNotificationsIdentifier, fNotificationsView},
              {kRulesIdentifier, fRulesView},
              {kHotKeysIdentifier, fHotKeysView}};
    for (const auto& [identifier, pane] : fPanes) pane->hide();
    buildToolbar();
    setPrefView(std::nullopt);
    fShortcuts = std::make_unique<ShortcutsPane>(fDefaults, *fHotKeysView);
    fShortcuts->setHotKeyUpdater(hotKeyUpdater);
    fShortcuts->menuKeyEquivalentsChanged = [this] {
        if (menuKeyEquivalentsChanged) menuKeyEquivalentsChanged();
    };
    connect(fShortcuts->helpButton(), &QPushButton::clicked, this, [this] { helpShortcuts(); });
    fShortcuts->setupShortCuts();
}

View* PrefsController::buildRulesPane() {
    auto* pane = new View(NSRect{{0, 0}, kRulesPaneSize}, fWindow->contentView());
    pane->resize(static_cast<int>(kRulesPaneSize.width), static_cast<int>(kRulesPaneSize.height));
    const int contentHeight = pane->height() - kRowHeight - kMargin / 2;
    if (rulesPaneFactory) {
        fRulesContent = rulesPaneFactory(pane);
        fRulesContent->setGeometry(0, 0, pane->width(), contentHeight);
    }
    auto* helpButton = new QPushButton(QStringLiteral("?"), pane);
    helpButton->setObjectName(QStringLiteral("help"));
    helpButton->setGeometry(pane->width() - kMargin - 26, contentHeight, 26, kRowHeight - 4);
    connect(helpButton, &QPushButton::clicked, this, [this] { helpRules(); });
    return pane;
}

void PrefsController::buildToolbar() {
    fToolbar = new QToolBar(QString::fromLatin1(kToolbarIdentifier));
    fToolbar->setObjectName(QString::fromLatin1(kToolbarIdentifier));
    fToolbar->setMovable(false);
    fToolbar->setFloatable(false);
    fToolbar->setContextMenuPolicy(Qt::PreventContextMenu);  // no customization
    fToolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    fToolbar->setIconSize(QSize(32, 32));
    fToolbarGroup = new QActionGroup(fToolbar);
    fToolbarGroup->setExclusive(true);
    for (const ToolbarSpec& spec : kToolbarSpecs) {
        QIcon icon;
        if (*spec.image) {
            if (auto image = NSImage::imageNamed(spec.image))
                icon = QIcon(QPixmap::fromImage(image->qtImage()));
        } else {
            icon = fToolbar->style()->standardIcon(QStyle::SP_FileDialogDetailedView);
        }
        QAction* item = fToolbar->addAction(icon, QString::fromStdString(localized(spec.label)));
        item->setCheckable(true);
        item->setData(QString::fromLatin1(spec.identifier));
        fToolbarGroup->addAction(item);
        const std::string identifier = spec.identifier;
        connect(item, &QAction::triggered, this, [this, identifier] { setPrefView(identifier); });
        fToolbarItems[identifier] = item;
    }
    fToolbarItems[kGeneralIdentifier]->setChecked(true);
    fWindow->setMenuBar(fToolbar);
}

QAction* PrefsController::toolbarItem(const std::string& identifier) const {
    const auto found = fToolbarItems.find(identifier);
    return found == fToolbarItems.end() ? nullptr : found->second;
}

std::string PrefsController::selectedItemIdentifier() const {
    QAction* checked = fToolbarGroup ? fToolbarGroup->checkedAction() : nullptr;
    return checked ? checked->data().toString().toStdString() : std::string();
}

View* PrefsController::paneView(const std::string& identifier) const {
    const auto found = fPanes.find(identifier);
    return found == fPanes.end() ? nullptr : found->second;
}

void PrefsController::setPrefView(const std::optional<std::string>& identifier) {
    if (!fHasLoaded) awakeFromNib();
    std::string choice;
    if (identifier) {
        choice = *identifier;
        fDefaults.setObject(PropertyList(choice), kSelectedPrefViewKey);
    } else {
        choice = fDefaults.stringForKey(kSelectedPrefViewKey).value_or("");
    }
    View* pane = paneView(choice);
    if (!pane) {
        pane = fGeneralView;
        choice = kGeneralIdentifier;
    }
    fToolbarItems[choice]->setChecked(true);
    if (pane == fCurrentPane) return;

    // The top and right edges stay; the window grows or shrinks downward and to the left.
    const QSize current = fWindow->contentView()->size();
    constexpr double scale = 1.0;  // one point is one pixel here
    const double dh = static_cast<float>((pane->height() - current.height()) * scale);
    const double dw = static_cast<float>((pane->width() - current.width()) * scale);
    NSRect frame = fWindow->frameRect();
    frame.origin.y -= dh;
    frame.size.height += dh;
    frame.origin.x -= dw;
    frame.size.width += dw;

    pane->hide();
    if (fCurrentPane) fCurrentPane->hide();
    fCurrentPane = pane;
    fWindow->setFrameRect(frame);
    pane->setGeometry(0, 0, pane->width(), pane->height());
    pane->show();

    const ToolbarSpec* spec = toolbarSpec(selectedItemIdentifier());
    fWindow->setTitle(localized(spec ? spec->label : "General"));
}

QWidget* PrefsController::controlForKey(const std::string& key) const {
    const auto found = fControls.find(key);
    return found == fControls.end() ? nullptr : found->second;
}

// ---------------------------------------------------------------------------------------------
// The panes.

const std::vector<PrefsController::ControlSpec>& PrefsController::generalSpecs() {
    using enum ControlKind;
    using enum PrefAction;
    static const std::vector<PrefsController::ControlSpec> specs = {
        {TapSound, "TapSound", "Tap sound:", SetTapSound},
        {Check, "PlayClickOnTap", "Play the tap sound for taps and beats", SoundSettingsChanged},
        {AlternateSound, "AlternateSound", "Accent sound:", SetAlternateSound},
        {Check, "PlayAlternate", "Play the accent sound", SoundSettingsChanged},
        {Choice,
         "AlternateBeat",
         "Accent on beat:",
         SoundSettingsChanged,
         {{"1", 1}, {"2", 2}, {"3", 3}, {"4", 4}}},
        {Choice,
         "MetronomeStyle",
         "Metronome:",
         MetronomeStyleChanged,
         {{"Pendulum", 0}, {"Flashing light", 1}}},
        {Integer, "MinRunningBPM", "Running tempo from:", MinMaxBPMChanged},
        {Integer, "MaxRunningBPM", "Running tempo to:", MinMaxBPMChanged},
        {Check, "MakeFloatingWindow", "Keep the window above other windows", WindowStyleChanged},
        {Check, "AllowHalfStarRating", "Allow half-star ratings", HalfStarRatingsChanged},
        {Check, "KeepTrack", "Remember the tracks whose tempo Beatwick set", None},
        {Check, "SkipIfHasBPM", "Skip tracks that have a tempo", None},
        {Check, "OnlyIfConfirmed", "Only skip tracks whose tempo Beatwick set", None},
        {Check, "AdvanceWithBPM", "Go to the next track after assigning a tempo", SkipChanged},
        {Check, "AdvancePlus", "And skip into it", SkipChanged},
        {Seconds, "AdvanceSeconds", "Seconds to skip:", SkipChanged},
        {Check, "SwitchToPrevApp", "Return to the previous application after assigning", None},
        {Check, "StartiTunesOnLaunch", "Start the player with Beatwick", None},
        {Check, "QuitiTunesOnQuit", "Quit the player with Beatwick", None},
        {Check, "QuitOnlyIfStarted", "Only when Beatwick started it", None},
        {Check, "CheckForUpdates", "Check for updates once a week", None},
    };
    return specs;
}

const std::vector<PrefsController::ControlSpec>& PrefsController::notificationSpecs() {
    using enum ControlKind;
    using enum PrefAction;
    static const std::vector<PrefsController::ControlSpec> specs = {
        {Check, "DoNotify", "Tell me when a track has no tempo", None},
        {Choice, "NotifyType", "Show:", None, {{"A desktop notification", 0}, {"A notice window", 1}}},
        {Check, "NotifyBPMSkeptical", "Also when Beatwick did not set the tempo", None},
        {Check, "NotifyIfiTunesInactive", "Not while the player is in front", None},
        {Check, "NotifyBounceIcon", "Ask for attention", None},
        {Check, "NotifyBounceRepeat", "Until Beatwick is activated", None},
        {Check, "NotifyPlaySound", "Play a sound", None},
        {SystemSound, "NotifySound", "Sound:", SetSound},
        {Check, "NotifySoundRepeat", "Repeat the sound", None},
    };
    return specs;
}

View* PrefsController::buildPane(const std::vector<ControlSpec>& specs, void (PrefsController::*help)()) {
    const int height = kMargin * 2 + kRowHeight * static_cast<int>(specs.size() + 1);
    auto* pane = new View(NSRect{{0, 0}, {kPaneWidth, static_cast<CGFloat>(height)}}, fWindow->contentView());
    pane->resize(kPaneWidth, height);
    int y = kMargin;
    for (const ControlSpec& spec : specs) {
        QWidget* control = buildControl(spec, pane);
        if (spec.kind == ControlKind::Check) {
            control->setGeometry(kMargin, y, kPaneWidth - 2 * kMargin, kRowHeight - 4);
        } else {
            auto* label = new QLabel(QString::fromStdString(localized(spec.title)), pane);
            label->setGeometry(kMargin, y, 180, kRowHeight - 4);
            control->setGeometry(
                kMargin + 190, y,
                spec.kind == ControlKind::Integer || spec.kind == ControlKind::Seconds ? 60 : 220,
                kRowHeight - 4);
        }
        fControls[spec.key] = control;
        y += kRowHeight;
    }
    auto* helpButton = new QPushButton(QStringLiteral("?"), pane);
    helpButton->setObjectName(QStringLiteral("help"));
    helpButton->setGeometry(kPaneWidth - kMargin - 26, y, 26, kRowHeight - 4);
    connect(helpButton, &QPushButton::clicked, this, [this, help] { (this->*help)(); });
    return pane;
}

QWidget* PrefsController::buildControl(const ControlSpec& spec, QWidget* pane) {
    const std::string key = spec.key;
    const int action = static_cast<int>(spec.action);
    switch (spec.kind) {
        case ControlKind::Check: {
            auto* box = new QCheckBox(QString::fromStdString(localized(spec.title)), pane);
            box->setChecked(fDefaults.boolForKey(key));
            connect(box, &QCheckBox::clicked, this, [this, key, action](bool checked) {
                fDefaults.setBool(checked, key);
                perform(action);
            });
            return box;
        }
        case ControlKind::TapSound:
        case ControlKind::AlternateSound:
        case ControlKind::SystemSound: {
            auto* popUp = new PopUpButton(false, pane);
            const std::vector<std::string> names =
                spec.kind == ControlKind::SystemSound ? sounds() : tapSounds();
            for (const std::string& name : names) popUp->addItemWithTitle(name);
            popUp->selectItemWithTitle(fDefaults.stringForKey(key).value_or(""));
            popUp->action = [this, popUp, key, action] {
                fDefaults.setObject(PropertyList(popUp->titleOfSelectedItem()), key);
                perform(action);
            };
            return popUp;
        }
        case ControlKind::Choice: {
            auto* popUp = new PopUpButton(false, pane);
            for (const Choice& choice : spec.choices)
                popUp->addItemWithTitle(localized(choice.title), choice.value);
            popUp->selectItemAtIndex(popUp->indexOfItemWithTag(fDefaults.integerForKey(key)));
            popUp->action = [this, popUp, key, action] {
                if (const PopUpItem* item = popUp->selectedItem()) fDefaults.setInteger(item->tag, key);
                perform(action);
            };
            return popUp;
        }
        case ControlKind::Integer:
        case ControlKind::Seconds: {
            auto* field = new TextField(pane);
            field->setFormatter(std::make_shared<IntegerOnlyNumberFormatter>());
            const bool asText = spec.kind == ControlKind::Seconds;
            if (asText) {
                field->setStringValue(fDefaults.stringForKey(key).value_or(""));
            } else if (fDefaults.objectForKey(key)) {
                field->setIntValue(static_cast<int>(fDefaults.integerForKey(key)));
            }
            field->action = [this, field, key, action, asText] {
                // An emptied field keeps the setting it had: nothing usable was entered.
                if (field->stringValue().empty()) return;
                if (asText)
                    fDefaults.setObject(PropertyList(std::to_string(field->intValue())), key);
                else
                    fDefaults.setInteger(field->intValue(), key);
                perform(action);
            };
            return field;
        }
    }
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Actions.

void PrefsController::perform(int action) {
    switch (static_cast<PrefAction>(action)) {
        case PrefAction::None:
            break;
        case PrefAction::SetTapSound:
            setTapSound();
            break;
        case PrefAction::SetAlternateSound:
            setAlternateSound();
            break;
        case PrefAction::SetSound:
            setSound();
            break;
        case PrefAction::SoundSettingsChanged:
            soundSettingsChanged();
            break;
        case PrefAction::SkipChanged:
            skipChanged();
            break;
        case PrefAction::MinMaxBPMChanged:
            minMaxBPMChanged();
            break;
        case PrefAction::MetronomeStyleChanged:
            metronomeStyleChanged();
            break;
        case PrefAction::WindowStyleChanged:
            windowStyleChanged();
            break;
        case PrefAction::HalfStarRatingsChanged:
            halfStarRatingsChanged();
            break;
    }
}

namespace {
void post(const char* name) {
    NSNotificationCenter::defaultCenter().postNotificationName(name);
}
}  // namespace

std::string PrefsController::selectedTitle(const char* key) const {
    const auto* popUp = dynamic_cast<const PopUpButton*>(controlForKey(key));
    return popUp ? popUp->titleOfSelectedItem() : std::string();
}

void PrefsController::previewBundleSound(const char* key) {
    const std::string title = selectedTitle(key);
    if (title.empty()) return;
    fPreviewSound = NSSound::createWithContentsOfFile(bundleSoundsFolder() + "/" + title + ".aiff", true);
    if (fPreviewSound) fPreviewSound->play();
}

void PrefsController::setTapSound() {
    previewBundleSound("TapSound");
    post("TapSoundUpdate");
}

void PrefsController::setAlternateSound() {
    previewBundleSound("AlternateSound");
    post("AlternateSoundUpdate");
}

void PrefsController::setSound() {
    const std::string title = selectedTitle("NotifySound");
    if (title.empty()) return;
    fPreviewSound = NSSound::soundNamed(title);
    if (fPreviewSound) fPreviewSound->play();
}

void PrefsController::soundSettingsChanged() {
    post("SoundSettingsChanged");
}

void PrefsController::skipChanged() {
    post("SkipChanged");
}

void PrefsController::minMaxBPMChanged() {
    post("MinMaxBPMChanged");
}

void PrefsController::metronomeStyleChanged() {
    post("MetronomeStyleChanged");
}

void PrefsController::windowStyleChanged() {
    post("WindowStyleChanged");
}

void PrefsController::halfStarRatingsChanged() {
    post("HalfStarRatingChanged");
    if (!fDefaults.boolForKey("AllowHalfStarRating")) return;
    const NSBundle& bundle = NSBundle::mainBundle();
    NSAlert alert;
    alert.alertStyle = NSAlertStyle::Informational;
    alert.messageText = bundle.localizedStringForKey("ALERTS_HalfStarRating", "", "Alerts");
    alert.informativeText = bundle.localizedStringForKey("ALERTE_HalfStarRating", "", "Alerts");
    alert.addButtonWithTitle(bundle.localizedStringForKey("OK", "", "Alerts"));
    alert.beginSheetModalForWindow(fWindow.get(), [](NSModalResponse) {});
}

void PrefsController::openHelpAnchor(const std::string& anchor) {
    const NSBundle& bundle = NSBundle::mainBundle();
    const std::string book = bundle.objectForInfoDictionaryKey("CFBundleHelpBookName").value_or("Help");
    QUrl page =
        QUrl::fromLocalFile(QString::fromStdString(bundle.resourcePath() + "/" + book + "/index.html"));
    page.setFragment(QString::fromStdString(anchor));
    openWebLink(page.toString().toStdString(), fWindow.get());
}

// ---------------------------------------------------------------------------------------------
// Sound lists.

std::string PrefsController::bundleSoundsFolder() const {
    return fSources.bundleSoundsFolder.value_or(NSBundle::mainBundle().resourcePath() + "/Sounds");
}

std::vector<std::string> PrefsController::tapSounds() const {
    return soundNamesIn(bundleSoundsFolder(), "aiff");
}

std::vector<std::string> PrefsController::sounds() const {
    const std::vector<std::string> folders = fSources.systemSoundFolders.value_or(systemSoundFolders());
    std::vector<std::string> names;
    std::set<std::string> seen;
    for (const std::string& folder : folders)
        for (const std::string& name : themeSoundNamesIn(folder))
            if ((!fSources.canLoadNamedSound || fSources.canLoadNamedSound(name)) && seen.insert(name).second)
                names.push_back(name);
    return names;
}
