#include <gtest/gtest.h>
#include <unistd.h>

#include <QCheckBox>
#include <QHeaderView>
#include <QMimeData>
#include <QTableView>
#include <QTest>
#include <filesystem>

#include "Source/Preferences/RuleTableModel.h"
#include "Source/Preferences/RulesPrefsController.h"
#include "Source/RulesController.h"
#include "platform/AppKit/Alert.h"
#include "platform/AppKit/Button.h"
#include "platform/AppKit/PopUpButton.h"
#include "platform/AppKit/PredicateEditor.h"
#include "platform/AppKit/TextField.h"
#include "platform/AppKit/Window.h"
#include "platform/Foundation/NotificationCenter.h"
#include "platform/Foundation/PredicateParser.h"
#include "platform/Foundation/Preferences.h"
#include "platform/Foundation/UserDefaults.h"
#include "tests/Source/ViewTestApplication.h"

namespace {

namespace fs = std::filesystem;

struct FakePrefsHost : RulesPrefsControllerHost {
    std::vector<UserPlaylist> playlists{{"Dance", 10}, {"Jazz", 20}, {"Slow", 30}};
    bool accessibility{true};
    int settingsOpened{0};
    std::vector<UserPlaylist> userPlaylists() override { return playlists; }
    bool accessibilityEnabled() override { return accessibility; }
    void openAccessibilitySettings() override { ++settingsOpened; }
};

struct AnsweringPresenter : AlertPresenter {
    std::vector<NSAlert> shown;
    std::vector<Window*> sheetWindows;
    NSModalResponse answer{NSAlertFirstButtonReturn};
    void present(const NSAlert& alert, Window* sheetWindow,
                 std::function<void(NSModalResponse)> done) override {
        shown.push_back(alert);
        sheetWindows.push_back(sheetWindow);
        done(answer);
    }
};

struct RulesPaneTest : ::testing::Test {
    fs::path folder;
    std::unique_ptr<PreferencesStore> store;
    std::unique_ptr<NSUserDefaults> defaults;
    NSNotificationCenter center;
    std::unique_ptr<RulesController> rules;
    FakePrefsHost host;
    AnsweringPresenter presenter;
    std::unique_ptr<Window> window;
    RulesPrefsController* pane{nullptr};

    void SetUp() override {
        viewTestApplication();
        folder =
            fs::temp_directory_path() / ("rulespane-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        store = std::make_unique<PreferencesStore>(folder.string());
        defaults = std::make_unique<NSUserDefaults>(*store, "com.orvo.Beatwick");
        rules = std::make_unique<RulesController>(*defaults, center, [](const std::string&) {});
        AlertPresenter::setCurrent(&presenter);
    }
    void TearDown() override {
        window.reset();
        AlertPresenter::setCurrent(nullptr);
        fs::remove_all(folder);
    }

    // A store with rules described "r0", "r1", … and the pane shown in a window.
    RulesPrefsController& open(int count) {
        for (int i = 0; i < count; ++i) {
            rules->addNewRule();
            rules->setDescription("r" + std::to_string(i), i);
        }
        window = std::make_unique<Window>(NSSize{500, 400});
        pane = new RulesPrefsController(*rules, host, window->contentView());
        pane->setGeometry(0, 0, 500, 400);
        window->show();
        return *pane;
    }
    std::vector<std::string> descriptions() const {
        std::vector<std::string> out;
        for (int row = 0; row < rules->numberOfRules(); ++row)
            out.push_back(rules->descriptionForIndex(rules->indexForRow(row)));
        return out;
    }
    RuleTableModel& model() const { return *static_cast<RuleTableModel*>(pane->tableView()->model()); }
    // A drag of the row dropped at the gap, through the table's own model.
    bool drag(int row, int dropRow) {
        std::unique_ptr<QMimeData> data(model().mimeData({model().index(row, 0), model().index(row, 1)}));
        return model().dropMimeData(data.get(), Qt::MoveAction, dropRow, 0, {});
    }
    QPoint centreOfRow(int row) const {
        return pane->tableView()->visualRect(model().index(row, 1)).center();
    }
};

TEST_F(RulesPaneTest, OpensWithTheFirstRuleSelected) {
    open(2);
    EXPECT_EQ(pane->selectedRow(), 0);
    EXPECT_TRUE(pane->editRuleButton()->isEnabled());
    EXPECT_EQ(model().data(model().index(1, 1), Qt::DisplayRole).toString(), "r1");
    EXPECT_EQ(model().data(model().index(1, 0), Qt::CheckStateRole).toInt(), Qt::Checked);
    pane->selectRow(-1);
    for (Button* b : {pane->editRuleButton(), pane->duplicateRuleButton(), pane->removeRuleButton()})
        EXPECT_FALSE(b->isEnabled()) << b->title();
    EXPECT_TRUE(pane->addRuleButton()->isEnabled());
}

TEST_F(RulesPaneTest, DraggingKeepsTheSelectedRuleSelected) {
    const struct {
        const char* name;
        int selected, from, drop;
        std::vector<std::string> order;
        int selectedAfter;
    } cases[] = {
        {"the first below the third, the second selected", 1, 0, 3, {"r1", "r2", "r0"}, 0},
        {"the selected rule itself", 0, 0, 3, {"r1", "r2", "r0"}, 2},
        {"the last to the top, it selected", 2, 2, 0, {"r2", "r0", "r1"}, 0},
        {"the last above the selected first", 0, 2, 0, {"r2", "r0", "r1"}, 1},
        {"onto its own gap", 1, 1, 1, {"r0", "r1", "r2"}, 1},
        {"a row moved past an unaffected selection", 2, 0, 2, {"r1", "r0", "r2"}, 2},
        // The moved rule lands right on the selected row: the selection steps aside.
        {"the first onto the selected row's place", 1, 0, 2, {"r1", "r0", "r2"}, 0},
        {"the last onto the selected row's place", 1, 2, 1, {"r0", "r2", "r1"}, 2},
    };
    for (const auto& c : cases) {
        window.reset();
        rules = std::make_unique<RulesController>(*defaults, center, [](const std::string&) {});
        while (rules->numberOfRules()) rules->removeRuleWithRowIndex(0);
        open(3);
        pane->selectRow(c.selected);
        ASSERT_TRUE(drag(c.from, c.drop)) << c.name;
        EXPECT_EQ(descriptions(), c.order) << c.name;
        EXPECT_EQ(pane->selectedRow(), c.selectedAfter) << c.name;
    }
}

TEST_F(RulesPaneTest, DropsGoAboveTheRowTheyLandOnAndOnlyRulesDrop) {
    open(3);
    std::unique_ptr<QMimeData> data(model().mimeData({model().index(0, 0)}));
    EXPECT_EQ(pane->validateDrop(*data, 1), RulesPrefsController::kDragOperationGeneric);
    // Dropped onto row 2 itself: above it.
    ASSERT_TRUE(model().dropMimeData(data.get(), Qt::MoveAction, -1, -1, model().index(2, 1)));
    EXPECT_EQ(descriptions(), (std::vector<std::string>{"r1", "r0", "r2"}));
    // Dropped on the empty space below the rows: below the last.
    data.reset(model().mimeData({model().index(0, 0)}));
    ASSERT_TRUE(model().dropMimeData(data.get(), Qt::MoveAction, -1, -1, {}));
    EXPECT_EQ(descriptions(), (std::vector<std::string>{"r0", "r2", "r1"}));

    QMimeData text;
    text.setText("r0");
    EXPECT_EQ(pane->validateDrop(text, 0), RulesPrefsController::kDragOperationNone);
    EXPECT_FALSE(model().canDropMimeData(&text, Qt::MoveAction, 0, 0, {}));
    QMimeData junk;
    junk.setData(RulesPrefsController::kRuleTableViewDataType, "junk");
    EXPECT_FALSE(pane->acceptDrop(junk, 0));
    EXPECT_EQ(descriptions(), (std::vector<std::string>{"r0", "r2", "r1"}));
}

TEST_F(RulesPaneTest, TheActiveBoxClickedIsTheOneThatChanges) {
    open(3);
    pane->selectRow(0);
    // Unchecking row 2 while row 0 is selected.
    ASSERT_TRUE(model().setData(model().index(2, 0), Qt::Unchecked, Qt::CheckStateRole));
    EXPECT_TRUE(rules->activeForIndex(0));
    EXPECT_FALSE(rules->activeForIndex(2));
    // The value handed in is set, not a toggle.
    ASSERT_TRUE(model().setData(model().index(2, 0), Qt::Unchecked, Qt::CheckStateRole));
    EXPECT_FALSE(rules->activeForIndex(2));
    EXPECT_FALSE(RulesController(*defaults, center).activeForIndex(2)) << "saved at once";
    EXPECT_FALSE(model().setData(model().index(1, 1), "renamed", Qt::EditRole));
    EXPECT_EQ(rules->descriptionForIndex(1), "r1");
}

TEST_F(RulesPaneTest, DoubleClickEditsTheRuleUnderItAndNothingOnEmptySpace) {
    open(2);
    QWidget* viewport = pane->tableView()->viewport();
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, QPoint(20, viewport->height() - 5));
    EXPECT_FALSE(pane->sheetIsOpen()) << "a double click below the rows edits nothing";
    pane->selectRow(-1);
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, QPoint(20, viewport->height() - 5));
    EXPECT_FALSE(pane->sheetIsOpen()) << "nor without a selection";

    QTest::mouseDClick(viewport, Qt::LeftButton, {}, centreOfRow(1));
    ASSERT_TRUE(pane->sheetIsOpen());
    EXPECT_EQ(pane->descriptionField()->stringValue(), "r1");
    EXPECT_EQ(window->attachedSheet(), pane->rulesSheetWindow());
    pane->cancelRules();
    EXPECT_EQ(rules->numberOfRules(), 2) << "a cancelled edit keeps the rule";
}

TEST_F(RulesPaneTest, CancellingANewRuleRemovesIt) {
    open(2);
    pane->selectRow(0);
    pane->addRule();
    ASSERT_TRUE(pane->sheetIsOpen());
    EXPECT_EQ(rules->numberOfRules(), 3) << "the new rule exists while the sheet is open";
    EXPECT_EQ(pane->selectedRow(), 2);
    EXPECT_EQ(pane->descriptionField()->stringValue(), "");
    EXPECT_GE(pane->ruleEditor()->numberOfRows(), 2) << "a condition row to start from";
    pane->cancelRules();
    EXPECT_FALSE(pane->sheetIsOpen());
    EXPECT_EQ(descriptions(), (std::vector<std::string>{"r0", "r1"}));
    EXPECT_EQ(pane->selectedRow(), 1) << "the row above the removed last row";
    EXPECT_EQ(RulesController(*defaults, center).numberOfRules(), 2);

    pane->selectRow(0);
    pane->duplicateRule();
    EXPECT_EQ(pane->descriptionField()->stringValue(), "Copy of r0");
    pane->cancelRules();
    EXPECT_EQ(descriptions(), (std::vector<std::string>{"r0", "r1"}));

    pane->editRule();
    pane->descriptionField()->setStringValue("changed");
    pane->cancelRules();
    EXPECT_EQ(descriptions(), (std::vector<std::string>{"r0", "r1"}));
}

// Alt+F4 or the sheet's close button: the window manager closes it, and that is a Cancel.
TEST_F(RulesPaneTest, ASheetClosedByTheWindowManagerEndsAsCancelDoes) {
    open(2);
    pane->addRule();
    ASSERT_TRUE(pane->sheetIsOpen());
    pane->rulesSheetWindow()->close();
    EXPECT_FALSE(pane->sheetIsOpen());
    EXPECT_EQ(window->attachedSheet(), nullptr);
    EXPECT_EQ(descriptions(), (std::vector<std::string>{"r0", "r1"})) << "no empty rule is left";
    EXPECT_EQ(RulesController(*defaults, center).numberOfRules(), 2);

    pane->selectRow(1);
    pane->editRule();
    ASSERT_TRUE(pane->sheetIsOpen()) << "the pane opens sheets again";
    pane->descriptionField()->setStringValue("changed");
    pane->rulesSheetWindow()->close();
    EXPECT_EQ(descriptions(), (std::vector<std::string>{"r0", "r1"})) << "a closed edit keeps the rule";

    pane->addRule();
    pane->descriptionField()->setStringValue("new");
    pane->activateCheckbox()->setChecked(true);
    pane->saveRuleButton()->performClick();
    EXPECT_FALSE(pane->sheetIsOpen());
    EXPECT_EQ(descriptions(), (std::vector<std::string>{"r0", "r1", "new"}));
}

TEST_F(RulesPaneTest, SaveNeedsADescriptionAndAnAction) {
    open(0);
    pane->addRule();
    const struct {
        const char* description;
        bool add, remove, getInfo, activate;
        bool enabled;
    } cases[] = {
        {"", false, false, false, false, false},     {"", true, true, true, true, false},
        {"Fast", false, false, false, false, false}, {"Fast", true, false, false, false, true},
        {"Fast", false, true, false, false, true},   {"Fast", false, false, true, false, true},
        {"Fast", false, false, false, true, true},
    };
    for (const auto& c : cases) {
        pane->descriptionField()->setStringValue(c.description);
        pane->addPlaylistCheckbox()->setChecked(c.add);
        pane->removePlaylistCheckbox()->setChecked(c.remove);
        pane->getInfoCheckbox()->setChecked(c.getInfo);
        pane->activateCheckbox()->setChecked(c.activate);
        const std::string name = std::string("'") + c.description + "' " + std::to_string(c.add) +
                                 std::to_string(c.remove) + std::to_string(c.getInfo) +
                                 std::to_string(c.activate);
        EXPECT_EQ(pane->saveRuleButton()->isEnabled(), c.enabled) << name;
        EXPECT_EQ(pane->addPlaylistPopup()->isEnabled(), c.add) << name;
        EXPECT_EQ(pane->removePlaylistPopup()->isEnabled(), c.remove) << name;
    }
}

TEST_F(RulesPaneTest, SavingStoresTheSheetAndKeepsAnUncheckedPlaylistID) {
    open(1);
    pane->addRule();
    pane->descriptionField()->setStringValue("Slow jazz");
    pane->addPlaylistCheckbox()->setChecked(true);
    pane->addPlaylistPopup()->chooseItemAtIndex(1);
    pane->activateCheckbox()->setChecked(true);
    auto condition =
        PredicateParser::predicateWithFormat("trackGenre ==[cd] \"Jazz\" AND trackBPM < 90").value();
    pane->ruleEditor()->setObjectValue(condition);
    pane->saveRules();
    EXPECT_FALSE(pane->sheetIsOpen());
    ASSERT_EQ(rules->numberOfRules(), 2) << "a saved new rule stays";
    {
        RulesController stored(*defaults, center);
        const Rule rule = *stored.ruleAtRow(1);
        EXPECT_EQ(rule.description, "Slow jazz");
        EXPECT_TRUE(rule.addToPlaylist);
        EXPECT_EQ(rule.addPlaylistID, 20);
        EXPECT_TRUE(rule.activateiTunes);
        EXPECT_FALSE(rule.showGetInfo);
        ASSERT_TRUE(rule.rules);
        EXPECT_TRUE(rule.rules->isEqual(*condition)) << rule.rules->predicateFormat();
    }
    EXPECT_EQ(pane->selectedRow(), 1) << "saving keeps the selection";

    pane->editRule();
    EXPECT_TRUE(pane->addPlaylistCheckbox()->isChecked());
    EXPECT_EQ(pane->addPlaylistPopup()->indexOfSelectedItem(), 1);
    EXPECT_TRUE(pane->ruleEditor()->objectValue()->isEqual(*condition));
    pane->addPlaylistCheckbox()->setChecked(false);
    pane->saveRules();
    EXPECT_FALSE(rules->addToPlaylistForIndex(1));
    EXPECT_EQ(rules->addPlaylistIDForIndex(1), 20) << "the earlier ID stays in the rule";
}

TEST_F(RulesPaneTest, PlaylistPopUpsKeepTheirIDsWhenThePlaylistsChange) {
    open(1);
    rules->setAddToPlaylist(true, 0);
    rules->setAddPlaylistID(30, 0);
    rules->setRemoveFromPlaylist(true, 0);
    rules->setRemovePlaylistID(99, 0);  // no longer a playlist
    pane->editRule();
    EXPECT_EQ(pane->addPlaylistPopup()->itemTitles(), (std::vector<std::string>{"Dance", "Jazz", "Slow"}));
    EXPECT_EQ(pane->addPlaylistPopup()->indexOfSelectedItem(), 2);
    EXPECT_EQ(pane->removePlaylistPopup()->indexOfSelectedItem(), -1) << "a gone playlist selects nothing";

    // The player quits: its list is gone and the library file's is shorter and in another order.
    host.playlists = {{"Slow", 30}, {"Dance", 10}};
    pane->saveRules();
    EXPECT_EQ(rules->addPlaylistIDForIndex(0), 30)
        << "the playlist that was shown, not a position in a new list";
    EXPECT_EQ(rules->removePlaylistIDForIndex(0), 99) << "no selection keeps the stored ID";

    host.playlists = {{"Dance", 10}, {"Jazz", 20}, {"Slow", 30}};
    pane->editRule();
    host.playlists = {{"Slow", 30}, {"Dance", 10}};
    pane->menuNeedsUpdate(*pane->addPlaylistPopup());
    EXPECT_EQ(pane->addPlaylistPopup()->itemTitles(), (std::vector<std::string>{"Slow", "Dance"}));
    EXPECT_EQ(pane->addPlaylistPopup()->indexOfSelectedItem(), 0) << "the same playlist at its new place";
    host.playlists = {{"Dance", 10}};
    pane->menuNeedsUpdate(*pane->addPlaylistPopup());
    EXPECT_EQ(pane->addPlaylistPopup()->indexOfSelectedItem(), -1);
    pane->saveRules();
    EXPECT_EQ(rules->addPlaylistIDForIndex(0), 30);
}

TEST_F(RulesPaneTest, TheSheetGrowsDownwardByTheRowsAdded) {
    open(0);
    pane->addRule();
    Window* sheet = pane->rulesSheetWindow();
    QCoreApplication::processEvents();
    const NSRect before = sheet->frameRect();
    const int rows = pane->ruleEditor()->numberOfRows();
    pane->ruleEditor()->addRow();
    pane->ruleEditor()->addRow();
    ASSERT_EQ(pane->ruleEditor()->numberOfRows(), rows + 2);
    // The platform reports a window's new geometry through its event queue.
    QCoreApplication::processEvents();
    NSRect after = sheet->frameRect();
    EXPECT_EQ(after.size.height, before.size.height + 2 * PredicateEditor::kRowHeight);
    EXPECT_EQ(after.origin.y + after.size.height, before.origin.y + before.size.height) << "the top stays";
    EXPECT_EQ(after.size.width, before.size.width);
    EXPECT_EQ(pane->ruleEditor()->height(), (rows + 2) * PredicateEditor::kRowHeight);

    pane->ruleEditor()->removeRowAtIndex(1);
    QCoreApplication::processEvents();
    after = sheet->frameRect();
    EXPECT_EQ(after.size.height, before.size.height + PredicateEditor::kRowHeight);
}

TEST_F(RulesPaneTest, GetInfoWithoutAccessibilityOffersTheSettings) {
    open(1);
    host.accessibility = false;
    pane->editRule();
    pane->descriptionField()->setStringValue("Info");
    pane->getInfoCheckbox()->setChecked(true);
    pane->saveRules();
    ASSERT_EQ(presenter.shown.size(), 1u);
    EXPECT_EQ(presenter.shown[0].messageText, "\"Enable access for assistive devices\" not enabled.");
    EXPECT_EQ(presenter.shown[0].buttonTitles(), (std::vector<std::string>{"Open", "Cancel"}));
    EXPECT_EQ(presenter.shown[0].alertStyle, NSAlertStyle::Critical);
    EXPECT_EQ(presenter.sheetWindows[0], window.get());
    EXPECT_EQ(host.settingsOpened, 1);
    EXPECT_TRUE(rules->showGetInfoForIndex(0)) << "the rule is saved either way";

    presenter.answer = NSAlertSecondButtonReturn;
    pane->editRule();
    pane->saveRules();
    EXPECT_EQ(host.settingsOpened, 1);
    host.accessibility = true;
    pane->editRule();
    pane->saveRules();
    EXPECT_EQ(presenter.shown.size(), 2u);
}

TEST_F(RulesPaneTest, RemovingTheLastRowSelectsTheOneAbove) {
    open(3);
    pane->selectRow(2);
    pane->removeRuleButton()->performClick();
    EXPECT_EQ(descriptions(), (std::vector<std::string>{"r0", "r1"}));
    EXPECT_EQ(pane->selectedRow(), 1);
    pane->selectRow(0);
    pane->removeRule();
    EXPECT_EQ(descriptions(), std::vector<std::string>{"r1"});
    EXPECT_EQ(pane->selectedRow(), 0);
    pane->removeRule();
    EXPECT_EQ(rules->numberOfRules(), 0);
    EXPECT_FALSE(pane->removeRuleButton()->isEnabled());
    pane->removeRule();  // nothing selected: nothing happens
    EXPECT_EQ(rules->numberOfRules(), 0);
}

}  // namespace
