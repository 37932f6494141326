#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <QToolBar>
#include <filesystem>
#include <fstream>

#include "Source/Preferences/PrefsController.h"
#include "Source/Preferences/PrefsWindow.h"
#include "Source/Toolkit/IntegerOnlyNumberFormatter.h"
#include "platform/AppKit/Alert.h"
#include "platform/AppKit/PopUpButton.h"
#include "platform/AppKit/TextField.h"
#include "platform/AppKit/URLOpener.h"
#include "platform/AppKit/View.h"
#include "platform/AudioToolbox/NSSound.h"
#include "platform/Foundation/Bundle.h"
#include "platform/Foundation/NotificationCenter.h"
#include "platform/Foundation/Preferences.h"
#include "platform/Foundation/UserDefaults.h"
#include "tests/Source/ViewTestApplication.h"

namespace fs = std::filesystem;

namespace {

struct Shown {
    std::string message, informative;
    std::vector<std::string> buttons;
    bool sheet;
};

struct Presenter : AlertPresenter {
    std::vector<Shown> shown;
    void present(const NSAlert& alert, Window* sheetWindow,
                 std::function<void(NSModalResponse)> done) override {
        shown.push_back(
            {alert.messageText, alert.informativeText, alert.buttonTitles(), sheetWindow != nullptr});
        done(NSAlertFirstButtonReturn);
    }
};

void touch(const fs::path& path) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "not a sound";
}

struct PrefsControllerTest : ::testing::Test {
    QApplication& app = viewTestApplication();
    fs::path folder =
        fs::temp_directory_path() / ("prefs-" + std::to_string(::getpid()) + "-" +
                                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::unique_ptr<PreferencesStore> store;
    std::unique_ptr<NSUserDefaults> defaults;
    std::unique_ptr<PrefsController> prefs;
    std::vector<std::string> posted;
    Presenter presenter;

    void SetUp() override {
        fs::remove_all(folder);
        touch(folder / "Sounds" / "Click.aiff");
        touch(folder / "Sounds" / "Woodblock.aiff");
        touch(folder / "Sounds" / "ReadMe.txt");
        touch(folder / "theme" / "sounds" / "Glass.oga");
        touch(folder / "theme" / "sounds" / "stereo" / "bell.wav");
        touch(folder / "theme" / "sounds" / "index.theme");
        store = std::make_unique<PreferencesStore>((folder / "prefs").string());
        defaults = std::make_unique<NSUserDefaults>(*store, "com.orvo.Beatwick");
        defaults->registerDefaults({{"TapSound", "Click"},
                                    {"AdvanceSeconds", "10"},
                                    {"AllowHalfStarRating", true},
                                    {"AlternateBeat", 1},
                                    {"NotifyType", 1}});
        AlertPresenter::setCurrent(&presenter);
        NSNotificationCenter::defaultCenter().addObserver(
            this, "", nullptr, [this](const NSNotification& n) { posted.push_back(n.name); });
        make();
    }
    void TearDown() override {
        prefs.reset();
        NSNotificationCenter::defaultCenter().removeObserver(this);
        AlertPresenter::setCurrent(nullptr);
        fs::remove_all(folder);
    }

    void make() {
        prefs.reset();
        PrefsController::SoundSources sources;
        sources.bundleSoundsFolder = (folder / "Sounds").string();
        sources.systemSoundFolders = {(folder / "missing").string(), (folder / "theme" / "sounds").string()};
        prefs = std::make_unique<PrefsController>(*defaults, std::move(sources));
    }

    template <typename T>
    T* control(const std::string& key) {
        prefs->window();
        auto* found = dynamic_cast<T*>(prefs->controlForKey(key));
        EXPECT_NE(found, nullptr) << key;
        return found;
    }
};

TEST_F(PrefsControllerTest, PanesSwitchKeepingTheTopAndRightEdgesAndTheChoiceLasts) {
    PrefsWindow& window = prefs->window();
    EXPECT_EQ(prefs->toolbar()->objectName(), "Preferences Toolbar");
    EXPECT_EQ(PrefsController::toolbarItemIdentifiers(),
              (std::vector<std::string>{"TOOLBAR_GENERAL", "TOOLBAR_NOTIFICATIONS", "TOOLBAR_RULES",
                                        "TOOLBAR_HOTKEYS"}));
    EXPECT_EQ(prefs->currentPane(), prefs->paneView("TOOLBAR_GENERAL")) << "nothing stored: General";
    EXPECT_EQ(prefs->selectedItemIdentifier(), "TOOLBAR_GENERAL");
    EXPECT_EQ(window.windowTitle(), "General");
    window.setFrameRect(NSRect{{300, 200}, window.frameRect().size});

    for (const char* identifier :
         {"TOOLBAR_NOTIFICATIONS", "TOOLBAR_RULES", "TOOLBAR_HOTKEYS", "TOOLBAR_GENERAL"}) {
        const NSRect before = window.frameRect();
        const QSize contentBefore = window.contentView()->size();
        View* pane = prefs->paneView(identifier);
        prefs->toolbarItem(identifier)->trigger();
        const NSRect after = window.frameRect();
        EXPECT_EQ(prefs->currentPane(), pane) << identifier;
        EXPECT_TRUE(pane->isVisibleTo(&window)) << identifier;
        EXPECT_EQ(window.contentView()->size(), pane->size()) << identifier;
        EXPECT_DOUBLE_EQ(after.origin.y + after.size.height, before.origin.y + before.size.height)
            << identifier;
        EXPECT_DOUBLE_EQ(after.origin.x + after.size.width, before.origin.x + before.size.width)
            << identifier;
        EXPECT_DOUBLE_EQ(after.size.height - before.size.height, pane->height() - contentBefore.height())
            << identifier;
        EXPECT_EQ(prefs->selectedItemIdentifier(), identifier);
        EXPECT_EQ(defaults->stringForKey("SelectedPrefView"), identifier);
    }
    for (const char* identifier : {"TOOLBAR_NOTIFICATIONS", "TOOLBAR_RULES", "TOOLBAR_HOTKEYS"})
        EXPECT_FALSE(prefs->paneView(identifier)->isVisibleTo(&window)) << "one pane at a time";

    // The pane already shown changes neither frame nor title.
    window.setTitle("Unchanged");
    const NSRect frame = window.frameRect();
    prefs->setPrefView("TOOLBAR_GENERAL");
    EXPECT_EQ(window.windowTitle(), "Unchanged");
    EXPECT_EQ(window.frameRect(), frame);

    // The Rules pane chosen last time is the one the next window opens on.
    prefs->setPrefView("TOOLBAR_RULES");
    make();
    EXPECT_EQ(prefs->currentPane(), nullptr) << "the layout loads on first use";
    prefs->window();
    EXPECT_EQ(prefs->currentPane(), prefs->paneView("TOOLBAR_RULES"));
    EXPECT_EQ(prefs->window().windowTitle(), "Rules");

    defaults->setObject(PropertyList("TOOLBAR_BOGUS"), "SelectedPrefView");
    make();
    EXPECT_EQ(prefs->window().windowTitle(), "General");
    EXPECT_EQ(prefs->selectedItemIdentifier(), "TOOLBAR_GENERAL");
    EXPECT_TRUE(posted.empty()) << "switching panes announces nothing";
}

TEST_F(PrefsControllerTest, EveryCheckBoxWritesItsKeyAndAnnouncesItsChange) {
    defaults->setBool(true, "AllowHalfStarRating");  // turned off: the notice has a test of its own
    const struct {
        const char* key;
        const char* notification;  // nullptr: read where it is used, nothing announced
    } boxes[] = {
        {"PlayClickOnTap", "SoundSettingsChanged"},
        {"PlayAlternate", "SoundSettingsChanged"},
        {"MakeFloatingWindow", "WindowStyleChanged"},
        {"AllowHalfStarRating", "HalfStarRatingChanged"},
        {"AdvanceWithBPM", "SkipChanged"},
        {"AdvancePlus", "SkipChanged"},
        {"KeepTrack", nullptr},
        {"SkipIfHasBPM", nullptr},
        {"OnlyIfConfirmed", nullptr},
        {"SwitchToPrevApp", nullptr},
        {"StartiTunesOnLaunch", nullptr},
        {"QuitiTunesOnQuit", nullptr},
        {"QuitOnlyIfStarted", nullptr},
        {"CheckForUpdates", nullptr},
        {"DoNotify", nullptr},
        {"NotifyBPMSkeptical", nullptr},
        {"NotifyIfiTunesInactive", nullptr},
        {"NotifyBounceIcon", nullptr},
        {"NotifyBounceRepeat", nullptr},
        {"NotifyPlaySound", nullptr},
        {"NotifySoundRepeat", nullptr},
    };
    defaults->setBool(true, "SwitchToPrevApp");
    for (const auto& b : boxes) {
        auto* box = control<QCheckBox>(b.key);
        ASSERT_NE(box, nullptr);
        const bool was = defaults->boolForKey(b.key);
        EXPECT_EQ(box->isChecked(), was) << b.key;
        posted.clear();
        box->click();
        EXPECT_EQ(defaults->boolForKey(b.key), !was) << b.key;
        EXPECT_EQ(posted,
                  b.notification ? std::vector<std::string>{b.notification} : std::vector<std::string>{})
            << b.key;
    }
    EXPECT_TRUE(presenter.shown.empty()) << "half stars were turned off: no notice";
}

TEST_F(PrefsControllerTest, PopUpsStoreTheirChoiceAndAnnounceIt) {
    auto* tap = control<PopUpButton>("TapSound");
    ASSERT_NE(tap, nullptr);
    EXPECT_EQ(prefs->tapSounds().size(), 2u) << "aiff files only";
    EXPECT_EQ(tap->titleOfSelectedItem(), "Click");
    const struct {
        const char* key;
        std::string chosen;  // a title
        PropertyList stored;
        const char* notification;
    } cases[] = {
        {"TapSound", "Woodblock", PropertyList("Woodblock"), "TapSoundUpdate"},
        {"AlternateSound", "Click", PropertyList("Click"), "AlternateSoundUpdate"},
        {"AlternateBeat", "3", PropertyList(3), "SoundSettingsChanged"},
        {"MetronomeStyle", "Flashing light", PropertyList(1), "MetronomeStyleChanged"},
        {"NotifyType", "A desktop notification", PropertyList(0), nullptr},
        {"NotifySound", "bell", PropertyList("bell"), nullptr},
    };
    for (const auto& c : cases) {
        auto* popUp = control<PopUpButton>(c.key);
        ASSERT_NE(popUp, nullptr);
        posted.clear();
        const int index = popUp->indexOfItemWithTitle(c.chosen);
        ASSERT_GE(index, 0) << c.key;
        popUp->chooseItemAtIndex(index);
        EXPECT_EQ(defaults->objectForKey(c.key), c.stored) << c.key;
        // A sound file that does not load is not played, and the change is announced all the same.
        EXPECT_EQ(posted,
                  c.notification ? std::vector<std::string>{c.notification} : std::vector<std::string>{})
            << c.key;
    }
    EXPECT_EQ(control<PopUpButton>("AlternateBeat")->numberOfItems(), 4);
    EXPECT_EQ(control<PopUpButton>("NotifyType")->titleOfSelectedItem(), "A desktop notification");
}

TEST_F(PrefsControllerTest, SoundListsSkipMissingFoldersAndFilesOfOtherKinds) {
    std::vector<std::string> names = prefs->sounds();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Glass", "bell"}));

    PrefsController::SoundSources sources;
    sources.bundleSoundsFolder = (folder / "nowhere").string();
    sources.systemSoundFolders = {(folder / "theme" / "sounds").string()};
    sources.canLoadNamedSound = [](const std::string& name) { return name == "bell"; };
    PrefsController other(*defaults, sources);
    EXPECT_TRUE(other.tapSounds().empty());
    EXPECT_EQ(other.sounds(), std::vector<std::string>{"bell"});
}

// A machine set up by scripts/install-packages.sh has the desktop's sound theme: the Sound pop-up
// of the Notifications pane lists its sounds from the system's own folders, and they play.
TEST_F(PrefsControllerTest, TheInstalledSoundThemeFillsTheSoundPopUp) {
    PrefsController system(*defaults);
    system.window();
    auto* popUp = dynamic_cast<PopUpButton*>(system.controlForKey("NotifySound"));
    ASSERT_NE(popUp, nullptr);
    for (const char* name : {"bell", "complete", "message", "dialog-warning"}) {
        EXPECT_GE(popUp->indexOfItemWithTitle(name), 0) << name;
        EXPECT_NE(NSSound::soundNamed(name), nullptr) << name << " loads";
    }
}

TEST_F(PrefsControllerTest, NumberFieldsTakeWholeNumbersOnlyThroughTheFormatter) {
    for (const char* key : {"AdvanceSeconds", "MinRunningBPM", "MaxRunningBPM"}) {
        auto* field = control<TextField>(key);
        ASSERT_NE(field, nullptr);
        EXPECT_NE(dynamic_cast<const IntegerOnlyNumberFormatter*>(field->formatter()), nullptr) << key;
    }
    auto* seconds = control<TextField>("AdvanceSeconds");
    EXPECT_EQ(seconds->stringValue(), "10");
    prefs->window().show();
    seconds->setFocus();
    seconds->selectAll();
    QTest::keyClicks(seconds, "4x5");
    EXPECT_EQ(seconds->stringValue(), "45") << "the letter is refused";
    posted.clear();
    QTest::keyClick(seconds, Qt::Key_Return);
    EXPECT_EQ(defaults->objectForKey("AdvanceSeconds"), PropertyList("45"))
        << "kept as text, as the tooltips read it";
    EXPECT_EQ(posted, std::vector<std::string>{"SkipChanged"});

    auto* minimum = control<TextField>("MinRunningBPM");
    minimum->setFocus();
    QTest::keyClicks(minimum, "170");
    posted.clear();
    QTest::keyClick(minimum, Qt::Key_Return);
    EXPECT_EQ(defaults->objectForKey("MinRunningBPM"), PropertyList(170));
    EXPECT_EQ(posted, std::vector<std::string>{"MinMaxBPMChanged"});
}

TEST_F(PrefsControllerTest, TurningHalfStarsOnShowsTheNoticeAsASheet) {
    defaults->setBool(false, "AllowHalfStarRating");
    auto* box = control<QCheckBox>("AllowHalfStarRating");
    box->click();
    EXPECT_EQ(posted, std::vector<std::string>{"HalfStarRatingChanged"});
    ASSERT_EQ(presenter.shown.size(), 1u);
    EXPECT_EQ(presenter.shown[0].message, "Half-star ratings are on.");
    EXPECT_EQ(presenter.shown[0].informative,
              "The player shows half stars only when its own half-star setting is on as well.");
    EXPECT_EQ(presenter.shown[0].buttons, std::vector<std::string>{"OK"});
    EXPECT_TRUE(presenter.shown[0].sheet);
    box->click();
    EXPECT_EQ(presenter.shown.size(), 1u) << "turning them off shows nothing";
}

TEST_F(PrefsControllerTest, HelpButtonsOpenTheirPanesPageOfTheHelpBook) {
    std::vector<std::string> opened;
    URLOpener::setOpener([&](const std::string& url) {
        opened.push_back(url);
        return true;
    });
    prefs->window();
    for (const char* identifier : {"TOOLBAR_GENERAL", "TOOLBAR_NOTIFICATIONS"})
        prefs->paneView(identifier)->findChild<QPushButton*>("help")->click();
    prefs->helpRules();
    prefs->helpShortcuts();
    URLOpener::setOpener(nullptr);
    ASSERT_EQ(opened.size(), 4u);
    const char* anchors[] = {"#general", "#notifications", "#rules", "#shortcuts"};
    for (size_t i = 0; i < opened.size(); ++i) {
        EXPECT_TRUE(opened[i].starts_with("file://")) << opened[i];
        EXPECT_TRUE(opened[i].ends_with(std::string("BeatwickHelp/index.html") + anchors[i])) << opened[i];
    }
    EXPECT_TRUE(fs::exists(NSBundle::mainBundle().resourcePath() + "/BeatwickHelp/index.html"));

    // No browser: the user is told, with the page's address.
    URLOpener::setOpener([](const std::string&) { return false; });
    prefs->helpRules();
    URLOpener::setOpener(nullptr);
    ASSERT_EQ(presenter.shown.size(), 1u);
    EXPECT_EQ(presenter.shown[0].message, "The page could not be opened");
    EXPECT_NE(presenter.shown[0].informative.find(opened[2]), std::string::npos)
        << presenter.shown[0].informative;
}

TEST_F(PrefsControllerTest, EscapeClosesTheWindowAfterCommittingTheEdit) {
    prefs->showWindow();
    PrefsWindow& window = prefs->window();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    auto* seconds = control<TextField>("AdvanceSeconds");
    seconds->setFocus();
    seconds->selectAll();
    QTest::keyClicks(seconds, "30");
    QTest::keyClick(seconds, Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(defaults->objectForKey("AdvanceSeconds"), PropertyList("30"));

    prefs->showWindow();
    EXPECT_TRUE(window.isVisible());
    QTest::keyClick(&window, Qt::Key_A);
    EXPECT_TRUE(window.isVisible()) << "other keys go on as usual";
}

}  // namespace
