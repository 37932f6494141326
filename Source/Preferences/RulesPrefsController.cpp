#include "Source/Preferences/RulesPrefsController.h"

#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QTableView>
#include <QVBoxLayout>

#include "Source/Preferences/RuleTableModel.h"
#include "Source/RulesController.h"
#include "platform/AppKit/Alert.h"
#include "platform/AppKit/Button.h"
#include "platform/AppKit/PopUpButton.h"
#include "platform/AppKit/PredicateEditor.h"
#include "platform/AppKit/TextField.h"
#include "platform/AppKit/Window.h"
#include "platform/Foundation/Bundle.h"
#include "platform/Foundation/PropertyListSerialization.h"

namespace {

// A playlist pop-up that is refilled just before its menu shows.
class PlaylistPopUp : public PopUpButton {
public:
    std::function<void(PopUpButton&)> menuNeedsUpdate;

    void mouseDown(const NSEvent& event) override {
        if (menuNeedsUpdate) menuNeedsUpdate(*this);
        PopUpButton::mouseDown(event);
    }
};

using ValueType = PredicateEditorRowTemplate::ValueType;
using Op = Predicate::Operator;

// The conditions a rule can be built from: the track's texts, its numbers, its rating in whole
// stars and whether this program assigned its tempo.
std::vector<PredicateEditorRowTemplate> ruleTemplates() {
    const std::vector<PredicateEditorRowTemplate::OperatorChoice> textOperators{
        {Op::Contains, "contains"}, {Op::BeginsWith, "begins with"}, {Op::EndsWith, "ends with"},
        {Op::EqualTo, "is"},        {Op::NotEqualTo, "is not"},
    };
    const std::vector<PredicateEditorRowTemplate::OperatorChoice> numberOperators{
        {Op::EqualTo, "is"},
        {Op::NotEqualTo, "is not"},
        {Op::LessThan, "is less than"},
        {Op::LessThanOrEqualTo, "is at most"},
        {Op::GreaterThan, "is greater than"},
        {Op::GreaterThanOrEqualTo, "is at least"},
    };
    PredicateEditorRowTemplate texts{
        {{"trackName", "Name"}, {"trackArtist", "Artist"}, {"trackAlbum", "Album"}, {"trackGenre", "Genre"}},
        textOperators,
        ValueType::String,
        {},
        Predicate::kCaseInsensitive | Predicate::kDiacriticInsensitive};
    PredicateEditorRowTemplate numbers{{{"trackBPM", "BPM"},
                                        {"trackDuration", "Duration (seconds)"},
                                        {"trackNumber", "Track number"},
                                        {"playerVolume", "Volume"}},
                                       numberOperators,
                                       ValueType::Number,
                                       {},
                                       0};
    PredicateEditorRowTemplate stars{{{"trackRating", "Rating"}},
                                     numberOperators,
                                     ValueType::KeyPath,
                                     {{"nostars", "no stars"},
                                      {"onestar", "1 star"},
                                      {"twostars", "2 stars"},
                                      {"threestars", "3 stars"},
                                      {"fourstars", "4 stars"},
                                      {"fivestars", "5 stars"}},
                                     0};
    PredicateEditorRowTemplate assigned{{{"assigned", "BPM set by Beatwick"}},
                                        {{Op::EqualTo, "is"}, {Op::NotEqualTo, "is not"}},
                                        ValueType::Boolean,
                                        {},
                                        0};
    return {texts, numbers, stars, assigned};
}

std::string localized(const char* key) {
    return NSLocalizedString(key, "");
}

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

RulesPrefsController::RulesPrefsController(RulesController& rules, RulesPrefsControllerHost& host,
                                           QWidget* parent)
    : QWidget(parent), fRules(rules), fHost(host) {
    buildPane();
    selectRow(0);
    updateRuleButtons();
}

RulesPrefsController::~RulesPrefsController() {
    if (!fRulesSheetWindow) return;
    // The sheet may belong to the hosting window by now; it must neither stay attached to it nor
    // outlive the pane whose handlers it calls.
    fSheetEndsNewRule = false;
    if (Window* host = tableWindow(); host && host->attachedSheet() == fRulesSheetWindow)
        host->endSheet(fRulesSheetWindow, 0);
    delete fRulesSheetWindow.data();
}

void RulesPrefsController::buildPane() {
    auto* layout = new QVBoxLayout(this);
    fTableView = new QTableView(this);
    fModel = new RuleTableModel(*this, fTableView);
    fTableView->setModel(fModel);
    fTableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    fTableView->setSelectionMode(QAbstractItemView::SingleSelection);
    fTableView->setDragEnabled(true);
    fTableView->setAcceptDrops(true);
    fTableView->setDropIndicatorShown(true);
    fTableView->setDragDropMode(QAbstractItemView::InternalMove);
    fTableView->setDragDropOverwriteMode(false);
    fTableView->setDefaultDropAction(Qt::MoveAction);
    fTableView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    fTableView->verticalHeader()->hide();
    fTableView->horizontalHeader()->setStretchLastSection(true);
    fTableView->setColumnWidth(RuleTableModel::kActiveColumn, 50);
    fTableView->viewport()->installEventFilter(this);
    connect(fTableView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { tableViewSelectionDidChange(); });
    layout->addWidget(fTableView, 1);

    auto* buttons = new QHBoxLayout;
    auto makeButton = [&](const char* title, void (RulesPrefsController::*action)()) {
        auto* button = new Button(this);
        button->setTitle(localized(title));
        button->setFixedSize(90, 24);
        button->action = [this, action] { (this->*action)(); };
        buttons->addWidget(button);
        return button;
    };
    fAddRuleButton = makeButton("Add", &RulesPrefsController::addRule);
    fEditRuleButton = makeButton("Edit", &RulesPrefsController::editRule);
    fDuplicateRuleButton = makeButton("Duplicate", &RulesPrefsController::duplicateRule);
    fRemoveRuleButton = makeButton("Remove", &RulesPrefsController::removeRule);
    buttons->addStretch(1);
    layout->addLayout(buttons);
}

Window* RulesPrefsController::rulesSheetWindow() const {
    return fRulesSheetWindow.data();
}

Window* RulesPrefsController::tableWindow() const {
    return qobject_cast<Window*>(window());
}

// ---------------------------------------------------------------------------------------------
// The table.

int RulesPrefsController::numberOfRowsInTableView() const {
    return fRules.numberOfRules();
}

PropertyList RulesPrefsController::objectValueForTableColumn(const std::string& column, int row) const {
    const int index = fRules.indexForRow(row);
    if (column == "Active") return PropertyList(fRules.activeForIndex(index) ? 1 : 0);
    return PropertyList(fRules.descriptionForIndex(index));
}

void RulesPrefsController::setObjectValue(const PropertyList& value, const std::string& column, int row) {
    if (column != "Active") return;
    // The row handed in, not the selected one: a click on another row's box edits that row.
    const int index = fRules.indexForRow(row);
    if (index < 0) return;
    fRules.setActive(value.integer().value_or(0) != 0, index);
}

void RulesPrefsController::tableViewSelectionDidChange() {
    updateRuleButtons();
}

void RulesPrefsController::updateRuleButtons() {
    const bool selected = selectedRow() >= 0;
    fEditRuleButton->setEnabled(selected);
    fDuplicateRuleButton->setEnabled(selected);
    fRemoveRuleButton->setEnabled(selected);
}

int RulesPrefsController::selectedRow() const {
    const QModelIndexList rows = fTableView->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.front().row();
}

void RulesPrefsController::selectRow(int row) {
    if (row < 0 || row >= numberOfRowsInTableView()) {
        fTableView->clearSelection();
        return;
    }
    fTableView->selectRow(row);
}

void RulesPrefsController::reloadData() {
    // The table keeps its selection across a reload, as long as the row still exists.
    const int selected = selectedRow();
    fModel->reload();
    if (selected >= 0) selectRow(std::min(selected, numberOfRowsInTableView() - 1));
    updateRuleButtons();
}

void RulesPrefsController::handleDoubleClick(int clickedRow) {
    if (clickedRow < 0 || fRules.indexForRow(clickedRow) < 0) return;
    selectRow(clickedRow);
    editRule();
}

bool RulesPrefsController::eventFilter(QObject* watched, QEvent* event) {
    // Header clicks never reach the viewport, so every double click here lies on a row or on
    // the empty space below the rows.
    if (watched == fTableView->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        handleDoubleClick(fTableView->indexAt(mouse->position().toPoint()).row());
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------
// Dragging rows.

std::unique_ptr<QMimeData> RulesPrefsController::writeRowsWithIndexes(const std::vector<int>& rows) const {
    PropertyList::Array array(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) array[i] = PropertyList(rows[i]);
    auto bytes = PropertyListSerialization::dataWithPropertyList(PropertyList(std::move(array)),
                                                                 PropertyListFormat::Binary);
    auto data = std::make_unique<QMimeData>();
    if (bytes) {
        const auto& b = bytes.value();
        data->setData(kRuleTableViewDataType,
                      QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size())));
    }
    return data;
}

long RulesPrefsController::validateDrop(const QMimeData& data, int) const {
    return data.hasFormat(kRuleTableViewDataType) ? kDragOperationGeneric : kDragOperationNone;
}

bool RulesPrefsController::acceptDrop(const QMimeData& data, int row) {
    const QByteArray bytes = data.data(kRuleTableViewDataType);
    auto plist = PropertyListSerialization::propertyListWithData(
        std::span(reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size())));
    if (!plist || !plist.value().array() || plist.value().array()->empty()) return false;
    const auto first = plist.value().array()->front().integer();
    const int count = numberOfRowsInTableView();
    if (!first || *first < 0 || *first >= count || row < 0 || row > count) return false;
    const int f = static_cast<int>(*first);
    const int c = selectedRow();
    fRules.moveRuleAtRow(f, row);
    const int m = f < row ? row - 1 : row;
    int selection = c;
    if (f == c)
        selection = m;
    else if (f < c && m >= c)
        selection = c - 1;
    else if (f > c && m <= c)
        selection = c + 1;
    fModel->reload();
    selectRow(selection);
    updateRuleButtons();
    return true;
}

// ---------------------------------------------------------------------------------------------
// The sheet.

void RulesPrefsController::loadRuleSheet() {
    if (fRulesSheetWindow) return;
    auto* sheet = new Window(NSSize{560, 300});
    sheet->setParent(this, Qt::Dialog);
    fRulesSheetWindow = sheet;
    sheet->setTitle("Rule");
    auto* layout = new QVBoxLayout(sheet->contentView());

    auto* descriptionRow = new QHBoxLayout;
    descriptionRow->addWidget(new QLabel(qs(localized("Description:")), sheet->contentView()));
    fDescriptionField = new TextField(sheet->contentView());
    connect(fDescriptionField, &QLineEdit::textChanged, this, [this] { saveRulesEnabled(); });
    descriptionRow->addWidget(fDescriptionField, 1);
    layout->addLayout(descriptionRow);

    fRuleEditor = new PredicateEditor(ruleTemplates(), sheet->contentView());
    fRuleEditor->setFixedHeight(fRuleEditor->numberOfRows() * PredicateEditor::kRowHeight);
    fRuleEditor->rowsDidChange = [this] { ruleEditorRowsDidChange(); };
    layout->addWidget(fRuleEditor);

    auto checkbox = [&](const char* title) {
        auto* box = new QCheckBox(qs(localized(title)), sheet->contentView());
        connect(box, &QCheckBox::toggled, this, [this] { saveRulesEnabled(); });
        return box;
    };
    auto playlistPopUp = [&] {
        auto* popUp = new PlaylistPopUp;
        popUp->setParent(sheet->contentView());
        popUp->setFixedSize(220, 24);
        popUp->menuNeedsUpdate = [this](PopUpButton& p) { menuNeedsUpdate(p); };
        return popUp;
    };
    auto* addRow = new QHBoxLayout;
    fAddPlaylistCheckbox = checkbox("Add to playlist");
    fAddPlaylistPopup = playlistPopUp();
    addRow->addWidget(fAddPlaylistCheckbox);
    addRow->addWidget(fAddPlaylistPopup);
    addRow->addStretch(1);
    layout->addLayout(addRow);
    auto* removeRow = new QHBoxLayout;
    fRemovePlaylistCheckbox = checkbox("Remove from playlist");
    fRemovePlaylistPopup = playlistPopUp();
    removeRow->addWidget(fRemovePlaylistCheckbox);
    removeRow->addWidget(fRemovePlaylistPopup);
    removeRow->addStretch(1);
    layout->addLayout(removeRow);
    fGetInfoCheckbox = checkbox("Show Get Info window");
    layout->addWidget(fGetInfoCheckbox);
    fActivateCheckbox = checkbox("Bring iTunes to the front");
    layout->addWidget(fActivateCheckbox);
    layout->addStretch(1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    fCancelRuleButton = new Button(sheet->contentView());
    fCancelRuleButton->setTitle(localized("Cancel"));
    fCancelRuleButton->setFixedSize(90, 24);
    fCancelRuleButton->setKeyEquivalent("\x1b");
    fCancelRuleButton->action = [this] { cancelRules(); };
    buttons->addWidget(fCancelRuleButton);
    fSaveRuleButton = new Button(sheet->contentView());
    fSaveRuleButton->setTitle(localized("Save"));
    fSaveRuleButton->setFixedSize(90, 24);
    fSaveRuleButton->setKeyEquivalent("\r");
    fSaveRuleButton->action = [this] { saveRules(); };
    buttons->addWidget(fSaveRuleButton);
    layout->addLayout(buttons);
}

void RulesPrefsController::selectLastRowAndScroll() {
    fModel->reload();
    const int last = numberOfRowsInTableView() - 1;
    selectRow(last);
    if (last >= 0) fTableView->scrollTo(fModel->index(last, 0));
    updateRuleButtons();
}

void RulesPrefsController::addRule() {
    openSheet(SheetKind::Add);
}

void RulesPrefsController::duplicateRule() {
    openSheet(SheetKind::Duplicate);
}

void RulesPrefsController::editRule() {
    openSheet(SheetKind::Edit);
}

void RulesPrefsController::removeRule() {
    const int row = selectedRow();
    if (row < 0) return;
    fRules.removeRuleWithRowIndex(row);
    fModel->reload();
    const int count = numberOfRowsInTableView();
    if (count > 0) {
        const int selection = row == count ? row - 1 : row;
        selectRow(selection);
        fTableView->scrollTo(fModel->index(selection, 0));
    }
    updateRuleButtons();
}

void RulesPrefsController::openSheet(SheetKind kind) {
    if (fSheetOpen) return;
    if (kind != SheetKind::Add && fRules.indexForRow(selectedRow()) < 0) return;
    loadRuleSheet();
    if (kind == SheetKind::Add) {
        fRules.addNewRule();
        selectLastRowAndScroll();
    } else if (kind == SheetKind::Duplicate) {
        fRules.duplicateRuleWithRowIndex(selectedRow());
        selectLastRowAndScroll();
    }

    const int index = fRules.indexForRow(selectedRow());
    fRuleEditor->setObjectValue(kind == SheetKind::Add ? nullptr : fRules.rulesForIndex(index));
    if (fRuleEditor->numberOfRows() <= 1) fRuleEditor->addRow();

    const bool fresh = kind == SheetKind::Add;
    fDescriptionField->setStringValue(fresh ? std::string() : fRules.descriptionForIndex(index));
    const bool add = !fresh && fRules.addToPlaylistForIndex(index);
    const bool remove = !fresh && fRules.removeFromPlaylistForIndex(index);
    fAddPlaylistCheckbox->setChecked(add);
    fRemovePlaylistCheckbox->setChecked(remove);
    fGetInfoCheckbox->setChecked(!fresh && fRules.showGetInfoForIndex(index));
    fActivateCheckbox->setChecked(!fresh && fRules.activateiTunesForIndex(index));
    // One read of the playlists for both pop-ups, kept with them.
    const std::vector<UserPlaylist> playlists = fHost.userPlaylists();
    fillPopUp(*fAddPlaylistPopup, playlists, add ? fRules.addPlaylistIDForIndex(index) : std::nullopt);
    fillPopUp(*fRemovePlaylistPopup, playlists,
              remove ? fRules.removePlaylistIDForIndex(index) : std::nullopt);
    saveRulesEnabled();

    fSheetOpen = true;
    fSheetEndsNewRule = kind != SheetKind::Edit;
    if (Window* host = tableWindow())
        host->beginSheet(fRulesSheetWindow, [this](long code) { ruleSheetDidEnd(code); });
    else
        fRulesSheetWindow->show();
}

void RulesPrefsController::endSheet(long returnCode) {
    if (!fSheetOpen) return;
    fRulesSheetWindow->orderOut();
    Window* host = tableWindow();
    if (host && host->attachedSheet() == fRulesSheetWindow)
        host->endSheet(fRulesSheetWindow, returnCode);
    else
        ruleSheetDidEnd(returnCode);
}

// However the sheet ended: Save, Cancel, or the window manager closing it as a Cancel.
void RulesPrefsController::ruleSheetDidEnd(long returnCode) {
    fSheetOpen = false;
    const bool newRule = fSheetEndsNewRule;
    fSheetEndsNewRule = false;
    if (!newRule || returnCode != 0) return;
    const int row = selectedRow();
    fRules.removeRuleWithRowIndex(row);
    fModel->reload();
    const int count = numberOfRowsInTableView();
    if (count > 0) {
        const int selection = row >= count ? count - 1 : row;
        selectRow(selection);
        fTableView->scrollTo(fModel->index(selection, 0));
    }
    updateRuleButtons();
}

void RulesPrefsController::saveRulesEnabled() {
    if (!fSaveRuleButton) return;
    fAddPlaylistPopup->setEnabled(fAddPlaylistCheckbox->isChecked());
    fRemovePlaylistPopup->setEnabled(fRemovePlaylistCheckbox->isChecked());
    const bool anAction = fAddPlaylistCheckbox->isChecked() || fRemovePlaylistCheckbox->isChecked() ||
                          fGetInfoCheckbox->isChecked() || fActivateCheckbox->isChecked();
    fSaveRuleButton->setEnabled(!fDescriptionField->stringValue().empty() && anAction);
}

void RulesPrefsController::cancelRules() {
    endSheet(0);
    updateRuleButtons();
}

void RulesPrefsController::saveRules() {
    if (!fSheetOpen) return;
    // Read before the sheet ends: ending an add sheet must not see the new rule as unsaved.
    const int index = fRules.indexForRow(selectedRow());
    const std::string description = fDescriptionField->stringValue();
    Predicate::Pointer condition = fRuleEditor->objectValue();
    const std::optional<SInt64> addID = selectedPlaylistID(*fAddPlaylistPopup);
    const std::optional<SInt64> removeID = selectedPlaylistID(*fRemovePlaylistPopup);
    endSheet(1);
    if (index < 0) return;

    fRules.setDescription(description, index);
    fRules.setRules(std::move(condition), index);
    const bool add = fAddPlaylistCheckbox->isChecked(), remove = fRemovePlaylistCheckbox->isChecked();
    fRules.setAddToPlaylist(add, index);
    if (add && addID) fRules.setAddPlaylistID(*addID, index);
    fRules.setRemoveFromPlaylist(remove, index);
    if (remove && removeID) fRules.setRemovePlaylistID(*removeID, index);
    fRules.setShowGetInfo(fGetInfoCheckbox->isChecked(), index);
    fRules.setActivateiTunes(fActivateCheckbox->isChecked(), index);
    fRules.saveRulesNow();
    reloadData();

    if (!fHost.accessibilityEnabled() && fGetInfoCheckbox->isChecked()) {
        NSAlert alert;
        alert.addButtonWithTitle(localized("Open"));
        alert.addButtonWithTitle(localized("Cancel"));
        alert.messageText = localized("\"Enable access for assistive devices\" not enabled.");
        alert.informativeText = localized("UNIVERSALACCESSRULES") + " " + localized("UNIVERSALOPEN");
        alert.alertStyle = NSAlertStyle::Critical;
        alert.beginSheetModalForWindow(tableWindow(), [this](NSModalResponse code) {
            if (code == NSAlertFirstButtonReturn) fHost.openAccessibilitySettings();
        });
    }
}

void RulesPrefsController::ruleEditorRowsDidChange() {
    if (!fRulesSheetWindow || !fRuleEditor) return;
    const int wanted = fRuleEditor->numberOfRows() * PredicateEditor::kRowHeight;
    const int d = wanted - fRuleEditor->height();
    if (d == 0) return;
    fRuleEditor->setFixedHeight(wanted);
    NSRect frame = fRulesSheetWindow->frameRect();
    frame.origin.y -= d;
    frame.size.height += d;
    fRulesSheetWindow->setFrameRect(frame);
}

// ---------------------------------------------------------------------------------------------
// Playlist pop-ups.

int RulesPrefsController::playlistIndexForPersistentID(const std::vector<SInt64>& ids, SInt64 persistentID) {
    for (size_t i = 0; i < ids.size(); ++i)
        if (ids[i] == persistentID) return static_cast<int>(i);
    return -1;
}

std::vector<UserPlaylist>& RulesPrefsController::playlistsOf(const PopUpButton& popUp) {
    return &popUp == fAddPlaylistPopup ? fAddPlaylists : fRemovePlaylists;
}

void RulesPrefsController::fillPopUp(PopUpButton& popUp, std::vector<UserPlaylist> playlists,
                                     std::optional<SInt64> select) {
    popUp.removeAllItems();
    std::vector<SInt64> ids;
    for (size_t i = 0; i < playlists.size(); ++i) {
        popUp.addItemWithTitle(playlists[i].name, static_cast<long>(i));
        ids.push_back(playlists[i].persistentID);
    }
    popUp.selectItemAtIndex(select ? playlistIndexForPersistentID(ids, *select) : -1);
    playlistsOf(popUp) = std::move(playlists);
}

std::optional<SInt64> RulesPrefsController::selectedPlaylistID(const PopUpButton& popUp) {
    const std::vector<UserPlaylist>& playlists = playlistsOf(popUp);
    const int position = popUp.indexOfSelectedItem();
    if (position < 0 || static_cast<size_t>(position) >= playlists.size()) return std::nullopt;
    return playlists[static_cast<size_t>(position)].persistentID;
}

void RulesPrefsController::menuNeedsUpdate(PopUpButton& popUp) {
    if (&popUp != fAddPlaylistPopup && &popUp != fRemovePlaylistPopup) return;
    // The playlist it showed, not its position: the list may have changed since it was built.
    fillPopUp(popUp, fHost.userPlaylists(), selectedPlaylistID(popUp));
}
