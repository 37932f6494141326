// The Rules pane of the preferences window and its rule sheet: a table of the rules with their
// "Active" check box and description, reordered by dragging, and a sheet in which one rule is
// added, duplicated or edited (its condition, its description and its four actions). It keeps no
// rule data of its own: everything goes through the rule store. The pane is a widget that any
// window can host; the sheet attaches to that window. Main thread only.
#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Source/Preferences/RulesPrefsControllerHost.h"
#include "platform/Foundation/PropertyList.h"

class Button;
class PopUpButton;
class PredicateEditor;
class QCheckBox;
class QMimeData;
class QTableView;
class RuleTableModel;
class RulesController;
class TextField;
class Window;

class RulesPrefsController : public QWidget {
    Q_OBJECT
public:
    RulesPrefsController(const RulesPrefsController&) = delete;
    RulesPrefsController& operator=(const RulesPrefsController&) = delete;

    static constexpr const char* kRuleTableViewDataType = "RuleTableViewDataType";
    static constexpr long kDragOperationNone = 0;
    static constexpr long kDragOperationGeneric = 4;

    // Neither is owned; both must outlive the pane.
    RulesPrefsController(RulesController& rules, RulesPrefsControllerHost& host, QWidget* parent = nullptr);
    ~RulesPrefsController() override;

    // Actions of the pane's and the sheet's controls.
    void addRule();
    void editRule();
    void duplicateRule();
    void removeRule();
    // The description field and the four check boxes send it whenever they change.
    void saveRulesEnabled();
    void cancelRules();
    void saveRules();

    // The table's data source and delegate. Columns are "Active" and "Description".
    int numberOfRowsInTableView() const;
    // "Active" gives 1 or 0; any other column the description.
    PropertyList objectValueForTableColumn(const std::string& column, int row) const;
    // Sets the handed-in Active value on the handed-in row (the store saves at once); other
    // columns are not edited here.
    void setObjectValue(const PropertyList& value, const std::string& column, int row);
    void tableViewSelectionDidChange();
    // The dragged rows under "RuleTableViewDataType".
    std::unique_ptr<QMimeData> writeRowsWithIndexes(const std::vector<int>& rows) const;
    long validateDrop(const QMimeData& data, int proposedRow) const;
    bool acceptDrop(const QMimeData& data, int row);
    // A double click on a row edits its rule; on empty space (row -1) nothing happens.
    void handleDoubleClick(int clickedRow);

    // The sheet grows or shrinks with its condition's rows, its top edge staying put.
    void ruleEditorRowsDidChange();
    // Refills a playlist pop-up from the current playlists, keeping the playlist it showed.
    void menuNeedsUpdate(PopUpButton& popUp);
    // Position of the first equal ID, or -1.
    static int playlistIndexForPersistentID(const std::vector<SInt64>& ids, SInt64 persistentID);
    void updateRuleButtons();

    // -1 when no row is selected.
    int selectedRow() const;
    void selectRow(int row);
    void reloadData();

    // Outlets, for hosting and tests. The sheet's are null until a sheet was first needed.
    QTableView* tableView() const { return fTableView; }
    Button* addRuleButton() const { return fAddRuleButton; }
    Button* editRuleButton() const { return fEditRuleButton; }
    Button* duplicateRuleButton() const { return fDuplicateRuleButton; }
    Button* removeRuleButton() const { return fRemoveRuleButton; }
    Window* rulesSheetWindow() const;
    PredicateEditor* ruleEditor() const { return fRuleEditor; }
    TextField* descriptionField() const { return fDescriptionField; }
    QCheckBox* addPlaylistCheckbox() const { return fAddPlaylistCheckbox; }
    PopUpButton* addPlaylistPopup() const { return fAddPlaylistPopup; }
    QCheckBox* removePlaylistCheckbox() const { return fRemovePlaylistCheckbox; }
    PopUpButton* removePlaylistPopup() const { return fRemovePlaylistPopup; }
    QCheckBox* getInfoCheckbox() const { return fGetInfoCheckbox; }
    QCheckBox* activateCheckbox() const { return fActivateCheckbox; }
    Button* saveRuleButton() const { return fSaveRuleButton; }
    bool sheetIsOpen() const { return fSheetOpen; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class SheetKind { Add, Duplicate, Edit };

    void buildPane();
    void loadRuleSheet();
    void openSheet(SheetKind kind);
    void ruleSheetDidEnd(long returnCode);
    void endSheet(long returnCode);
    void selectLastRowAndScroll();
    // The playlists a pop-up was built from, so its positions always mean those playlists.
    std::vector<UserPlaylist>& playlistsOf(const PopUpButton& popUp);
    void fillPopUp(PopUpButton& popUp, std::vector<UserPlaylist> playlists, std::optional<SInt64> select);
    std::optional<SInt64> selectedPlaylistID(const PopUpButton& popUp);
    Window* tableWindow() const;

    RulesController& fRules;
    RulesPrefsControllerHost& fHost;

    QTableView* fTableView{nullptr};
    RuleTableModel* fModel{nullptr};
    Button* fAddRuleButton{nullptr};
    Button* fEditRuleButton{nullptr};
    Button* fDuplicateRuleButton{nullptr};
    Button* fRemoveRuleButton{nullptr};

    // Owned by this pane until it attaches to the hosting window, which then owns it.
    QPointer<Window> fRulesSheetWindow;
    PredicateEditor* fRuleEditor{nullptr};
    TextField* fDescriptionField{nullptr};
    QCheckBox* fAddPlaylistCheckbox{nullptr};
    PopUpButton* fAddPlaylistPopup{nullptr};
    QCheckBox* fRemovePlaylistCheckbox{nullptr};
    PopUpButton* fRemovePlaylistPopup{nullptr};
    QCheckBox* fGetInfoCheckbox{nullptr};
    QCheckBox* fActivateCheckbox{nullptr};
    Button* fSaveRuleButton{nullptr};
    Button* fCancelRuleButton{nullptr};

    std::vector<UserPlaylist> fAddPlaylists;
    std::vector<UserPlaylist> fRemovePlaylists;
    bool fSheetOpen{false};
    bool fSheetEndsNewRule{false};  // an add or duplicate sheet: cancelling removes the rule
};
