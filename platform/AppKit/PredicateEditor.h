// An editor of conditions as rows: a first row that says whether all, any or none of the rows
// below must hold, then one row per comparison (a property, an operator and a value, with buttons
// to remove the row or add one below it). The row templates say which properties, operators and
// values a user can pick. A condition the rows cannot show (nested compounds, foreign key paths)
// is kept whole as a row of its own text, so editing never loses it. Main thread only.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Foundation/Predicate.h"

class QComboBox;
class QVBoxLayout;

struct PredicateEditorRowTemplate {
    enum class ValueType { String, Number, Boolean, KeyPath };

    struct Choice {
        std::string keyPath;
        std::string title;
    };
    struct OperatorChoice {
        Predicate::Operator op;
        std::string title;
    };

    std::vector<Choice> leftKeyPaths;
    std::vector<OperatorChoice> operators;
    ValueType valueType{ValueType::String};
    // The right-hand key paths a KeyPath row offers.
    std::vector<Choice> rightKeyPaths;
    unsigned options{0};
};

class PredicateEditor : public QWidget {
    Q_OBJECT
public:
    PredicateEditor(const PredicateEditor&) = delete;
    PredicateEditor& operator=(const PredicateEditor&) = delete;

    static constexpr int kRowHeight = 25;
    // Number fields are narrow; text fields keep the width the layout gives them.
    static constexpr int kNumberFieldWidth = 40;

    explicit PredicateEditor(std::vector<PredicateEditorRowTemplate> templates, QWidget* parent = nullptr);
    ~PredicateEditor() override;

    // Null while no row holds a comparison; else AND (all), OR (any) or NOT of OR (none).
    Predicate::Pointer objectValue() const;
    void setObjectValue(const Predicate::Pointer& predicate);

    // The rows, the all/any/none row included; the editor wants to be this many rows high.
    int numberOfRows() const;
    // Appends a comparison row from the first template.
    void addRow();
    void insertRowAfter(int row);
    // Comparison rows count from 1; row 0 is the all/any/none row and is never removed.
    void removeRowAtIndex(int row);

    // Called after rows were added or removed, before the editor's frame follows.
    std::function<void()> rowsDidChange;

    // The controls of a comparison row (row from 1), for the program's wiring and tests.
    QComboBox* compoundPopUp() const { return mCompound; }
    QWidget* rowWidget(int row) const;
    QComboBox* propertyPopUp(int row) const;
    QComboBox* operatorPopUp(int row) const;
    // The value control: a line edit for texts and numbers, a pop-up for booleans and key paths.
    QWidget* valueControl(int row) const;

private:
    struct Row;

    std::unique_ptr<Row> makeRow();
    void fillRow(Row& row, size_t templateIndex, size_t leftIndex);
    bool showComparison(Row& row, const Predicate& comparison);
    Predicate::Pointer rowValue(const Row& row) const;
    void rowsChanged();

    std::vector<PredicateEditorRowTemplate> mTemplates;
    QVBoxLayout* mLayout{nullptr};
    QComboBox* mCompound{nullptr};
    std::vector<std::unique_ptr<Row>> mRows;  // their widgets are children of this one
};
