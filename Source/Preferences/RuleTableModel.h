// The rules table's model: two columns, "Active" as a check box and the description, with rows
// dragged within the table. Every answer comes from the rules pane, which owns the logic.
// Main thread only.
#pragma once

#include <QAbstractTableModel>

class RulesPrefsController;

class RuleTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kActiveColumn = 0;
    static constexpr int kDescriptionColumn = 1;

    // The pane is not owned and must outlive the model.
    explicit RuleTableModel(RulesPrefsController& pane, QObject* parent = nullptr);

    void reload();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;
    Qt::DropActions supportedDropActions() const override;
    Qt::DropActions supportedDragActions() const override;

    // The drop position as a gap between rows: a drop on a row goes above it, one on empty space
    // below the last row.
    int dropRow(int row, const QModelIndex& parent) const;

private:
    RulesPrefsController& mPane;
};
