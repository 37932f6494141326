#include "Source/Preferences/RuleTableModel.h"

#include <QMimeData>
#include <set>

#include "Source/Preferences/RulesPrefsController.h"

RuleTableModel::RuleTableModel(RulesPrefsController& pane, QObject* parent)
    : QAbstractTableModel(parent), mPane(pane) {}

void RuleTableModel::reload() {
    beginResetModel();
    endResetModel();
}

int RuleTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : mPane.numberOfRowsInTableView();
}

int RuleTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant RuleTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    if (index.column() == kActiveColumn && role == Qt::CheckStateRole) {
        const auto active = mPane.objectValueForTableColumn("Active", index.row()).integer();
        return active.value_or(0) ? Qt::Checked : Qt::Unchecked;
    }
    if (index.column() == kDescriptionColumn && (role == Qt::DisplayRole || role == Qt::ToolTipRole)) {
        const PropertyList value = mPane.objectValueForTableColumn("Description", index.row());
        return value.string() ? QString::fromStdString(*value.string()) : QString();
    }
    return {};
}

QVariant RuleTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    return section == kActiveColumn ? tr("Active") : tr("Description");
}

bool RuleTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.column() != kActiveColumn || role != Qt::CheckStateRole) return false;
    const bool on = value.toInt() == Qt::Checked;
    mPane.setObjectValue(PropertyList(on ? 1 : 0), "Active", index.row());
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

Qt::ItemFlags RuleTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::ItemIsDropEnabled;
    Qt::ItemFlags flags =
        Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
    if (index.column() == kActiveColumn) flags |= Qt::ItemIsUserCheckable;
    return flags;
}

QStringList RuleTableModel::mimeTypes() const {
    return {RulesPrefsController::kRuleTableViewDataType};
}

QMimeData* RuleTableModel::mimeData(const QModelIndexList& indexes) const {
    std::set<int> rows;
    for (const QModelIndex& index : indexes)
        if (index.isValid()) rows.insert(index.row());
    // Qt's drag takes ownership of the data it is handed.
    return mPane.writeRowsWithIndexes({rows.begin(), rows.end()}).release();
}

int RuleTableModel::dropRow(int row, const QModelIndex& parent) const {
    if (row >= 0) return row;
    if (parent.isValid()) return parent.row();
    return rowCount();
}

bool RuleTableModel::canDropMimeData(const QMimeData* data, Qt::DropAction, int row, int,
                                     const QModelIndex& parent) const {
    return data &&
           mPane.validateDrop(*data, dropRow(row, parent)) != RulesPrefsController::kDragOperationNone;
}

bool RuleTableModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                                  const QModelIndex& parent) {
    if (!canDropMimeData(data, action, row, column, parent)) return false;
    return mPane.acceptDrop(*data, dropRow(row, parent));
}

Qt::DropActions RuleTableModel::supportedDropActions() const {
    return Qt::MoveAction;
}

Qt::DropActions RuleTableModel::supportedDragActions() const {
    return Qt::MoveAction;
}
