#include "platform/AppKit/PredicateEditor.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QToolButton>
#include <QVBoxLayout>
#include <charconv>

namespace {

// The first row's choices and the compounds they make.
enum class Match { All = 0, Any = 1, None = 2 };

int encodeChoice(size_t templateIndex, size_t leftIndex) {
    return static_cast<int>(templateIndex * 1000 + leftIndex);
}

}  // namespace

struct PredicateEditor::Row {
    QWidget* widget{nullptr};
    QComboBox* property{nullptr};
    QComboBox* op{nullptr};
    QLineEdit* text{nullptr};
    QComboBox* choice{nullptr};
    QLabel* raw{nullptr};
    // A condition the controls cannot show, kept as it is.
    Predicate::Pointer rawValue;
    size_t templateIndex{0};
    size_t leftIndex{0};
};

PredicateEditor::PredicateEditor(std::vector<PredicateEditorRowTemplate> templates, QWidget* parent)
    : QWidget(parent), mTemplates(std::move(templates)) {
    mLayout = new QVBoxLayout(this);
    mLayout->setContentsMargins(0, 0, 0, 0);
    mLayout->setSpacing(0);

    auto* header = new QWidget(this);
    header->setFixedHeight(kRowHeight);
    auto* headerLayout = new QHBoxLayout(header);
    headerLayout->setContentsMargins(4, 0, 4, 0);
    headerLayout->addWidget(new QLabel(tr("Match"), header));
    mCompound = new QComboBox(header);
    mCompound->addItems({tr("all"), tr("any"), tr("none")});
    headerLayout->addWidget(mCompound);
    headerLayout->addWidget(new QLabel(tr("of the following are true"), header), 1);
    auto* add = new QToolButton(header);
    add->setText("+");
    add->setObjectName("addRow");
    connect(add, &QToolButton::clicked, this, [this] { insertRowAfter(0); });
    headerLayout->addWidget(add);
    mLayout->addWidget(header);
    rowsChanged();
}

PredicateEditor::~PredicateEditor() = default;

int PredicateEditor::numberOfRows() const {
    return static_cast<int>(mRows.size()) + 1;
}

QWidget* PredicateEditor::rowWidget(int row) const {
    return row >= 1 && row < numberOfRows() ? mRows[static_cast<size_t>(row - 1)]->widget : nullptr;
}

QComboBox* PredicateEditor::propertyPopUp(int row) const {
    return row >= 1 && row < numberOfRows() ? mRows[static_cast<size_t>(row - 1)]->property : nullptr;
}

QComboBox* PredicateEditor::operatorPopUp(int row) const {
    return row >= 1 && row < numberOfRows() ? mRows[static_cast<size_t>(row - 1)]->op : nullptr;
}

QWidget* PredicateEditor::valueControl(int row) const {
    if (row < 1 || row >= numberOfRows()) return nullptr;
    const Row& r = *mRows[static_cast<size_t>(row - 1)];
    if (r.text && r.text->isVisibleTo(r.widget)) return r.text;
    return r.choice;
}

std::unique_ptr<PredicateEditor::Row> PredicateEditor::makeRow() {
    auto row = std::make_unique<Row>();
    row->widget = new QWidget(this);
    row->widget->setFixedHeight(kRowHeight);
    auto* layout = new QHBoxLayout(row->widget);
    layout->setContentsMargins(20, 0, 4, 0);
    row->property = new QComboBox(row->widget);
    for (size_t t = 0; t < mTemplates.size(); ++t)
        for (size_t l = 0; l < mTemplates[t].leftKeyPaths.size(); ++l)
            row->property->addItem(QString::fromStdString(mTemplates[t].leftKeyPaths[l].title),
                                   encodeChoice(t, l));
    row->op = new QComboBox(row->widget);
    row->text = new QLineEdit(row->widget);
    row->choice = new QComboBox(row->widget);
    row->raw = new QLabel(row->widget);
    row->raw->hide();
    layout->addWidget(row->property);
    layout->addWidget(row->op);
    layout->addWidget(row->text, 1);
    layout->addWidget(row->choice, 1);
    layout->addWidget(row->raw, 1);
    auto* remove = new QToolButton(row->widget);
    remove->setText("-");
    remove->setObjectName("removeRow");
    auto* add = new QToolButton(row->widget);
    add->setText("+");
    add->setObjectName("addRow");
    layout->addWidget(remove);
    layout->addWidget(add);

    Row* raw = row.get();
    connect(row->property, &QComboBox::activated, this, [this, raw](int item) {
        const int code = raw->property->itemData(item).toInt();
        fillRow(*raw, static_cast<size_t>(code / 1000), static_cast<size_t>(code % 1000));
    });
    auto rowNumber = [this, raw] {
        for (size_t i = 0; i < mRows.size(); ++i)
            if (mRows[i].get() == raw) return static_cast<int>(i) + 1;
        return -1;
    };
    connect(remove, &QToolButton::clicked, this, [this, rowNumber] { removeRowAtIndex(rowNumber()); });
    connect(add, &QToolButton::clicked, this, [this, rowNumber] { insertRowAfter(rowNumber()); });
    if (!mTemplates.empty() && !mTemplates.front().leftKeyPaths.empty()) fillRow(*row, 0, 0);
    return row;
}

void PredicateEditor::fillRow(Row& row, size_t templateIndex, size_t leftIndex) {
    if (templateIndex >= mTemplates.size() || leftIndex >= mTemplates[templateIndex].leftKeyPaths.size())
        return;
    const PredicateEditorRowTemplate& t = mTemplates[templateIndex];
    const bool sameType = mTemplates[row.templateIndex].valueType == t.valueType;
    row.templateIndex = templateIndex;
    row.leftIndex = leftIndex;
    row.property->setCurrentIndex(row.property->findData(encodeChoice(templateIndex, leftIndex)));
    row.op->clear();
    for (const auto& op : t.operators)
        row.op->addItem(QString::fromStdString(op.title), static_cast<int>(op.op));
    using Type = PredicateEditorRowTemplate::ValueType;
    const bool textual = t.valueType == Type::String || t.valueType == Type::Number;
    row.text->setVisible(textual);
    row.choice->setVisible(!textual);
    if (!sameType) row.text->clear();
    if (t.valueType == Type::Number) {
        row.text->setValidator(new QRegularExpressionValidator(QRegularExpression("-?[0-9]{0,9}"), row.text));
        row.text->setFixedWidth(kNumberFieldWidth);
    } else {
        row.text->setValidator(nullptr);
        row.text->setMinimumWidth(0);
        row.text->setMaximumWidth(QWIDGETSIZE_MAX);
    }
    row.choice->clear();
    if (t.valueType == Type::Boolean) {
        row.choice->addItem(tr("Yes"), true);
        row.choice->addItem(tr("No"), false);
    } else if (t.valueType == Type::KeyPath) {
        for (const auto& c : t.rightKeyPaths)
            row.choice->addItem(QString::fromStdString(c.title), QString::fromStdString(c.keyPath));
    }
}

bool PredicateEditor::showComparison(Row& row, const Predicate& comparison) {
    using Type = PredicateEditorRowTemplate::ValueType;
    if (comparison.kind() != Predicate::Kind::Comparison ||
        comparison.leftExpression().type() != PredicateExpression::Type::KeyPath)
        return false;
    const std::string& left = comparison.leftExpression().keyPathText();
    const PredicateExpression& right = comparison.rightExpression();
    for (size_t t = 0; t < mTemplates.size(); ++t) {
        const PredicateEditorRowTemplate& tpl = mTemplates[t];
        if (tpl.options != comparison.options()) continue;
        for (size_t l = 0; l < tpl.leftKeyPaths.size(); ++l) {
            if (tpl.leftKeyPaths[l].keyPath != left) continue;
            int opItem = -1;
            for (size_t o = 0; o < tpl.operators.size(); ++o)
                if (tpl.operators[o].op == comparison.predicateOperator()) opItem = static_cast<int>(o);
            if (opItem < 0) continue;
            const PropertyList& value = right.value();
            const bool constant = right.type() == PredicateExpression::Type::Constant;
            bool fits = false;
            if (tpl.valueType == Type::String) fits = constant && value.string();
            if (tpl.valueType == Type::Number)
                fits = constant && value.type() == PropertyList::Type::Integer && value.integer() &&
                       *value.integer() > -1000000000 && *value.integer() < 1000000000;
            if (tpl.valueType == Type::Boolean)
                fits = constant && value.type() == PropertyList::Type::Boolean;
            if (tpl.valueType == Type::KeyPath) {
                for (const auto& c : tpl.rightKeyPaths)
                    if (!constant && c.keyPath == right.keyPathText()) fits = true;
            }
            if (!fits) continue;
            fillRow(row, t, l);
            row.op->setCurrentIndex(opItem);
            if (tpl.valueType == Type::String) row.text->setText(QString::fromStdString(*value.string()));
            if (tpl.valueType == Type::Number) row.text->setText(QString::number(*value.integer()));
            if (tpl.valueType == Type::Boolean) row.choice->setCurrentIndex(*value.boolean() ? 0 : 1);
            if (tpl.valueType == Type::KeyPath)
                row.choice->setCurrentIndex(
                    row.choice->findData(QString::fromStdString(right.keyPathText())));
            return true;
        }
    }
    return false;
}

Predicate::Pointer PredicateEditor::rowValue(const Row& row) const {
    if (row.rawValue) return row.rawValue;
    if (row.templateIndex >= mTemplates.size()) return nullptr;
    const PredicateEditorRowTemplate& t = mTemplates[row.templateIndex];
    if (row.leftIndex >= t.leftKeyPaths.size() || row.op->currentIndex() < 0) return nullptr;
    const auto op = static_cast<Predicate::Operator>(row.op->currentData().toInt());
    auto left = PredicateExpression::keyPath(t.leftKeyPaths[row.leftIndex].keyPath);
    using Type = PredicateEditorRowTemplate::ValueType;
    switch (t.valueType) {
        case Type::String:
            return Predicate::comparison(std::move(left), op,
                                         PredicateExpression::constant(row.text->text().toStdString()),
                                         t.options);
        case Type::Number: {
            const std::string text = row.text->text().toStdString();
            int64_t number = 0;
            std::from_chars(text.data(), text.data() + text.size(), number);
            return Predicate::comparison(std::move(left), op, PredicateExpression::constant(number),
                                         t.options);
        }
        case Type::Boolean:
            return Predicate::comparison(std::move(left), op,
                                         PredicateExpression::constant(row.choice->currentIndex() != 1),
                                         t.options);
        case Type::KeyPath:
            if (row.choice->currentIndex() < 0) return nullptr;
            return Predicate::comparison(
                std::move(left), op,
                PredicateExpression::keyPath(row.choice->currentData().toString().toStdString()), t.options);
    }
    return nullptr;
}

Predicate::Pointer PredicateEditor::objectValue() const {
    std::vector<Predicate::Pointer> subs;
    for (const auto& row : mRows)
        if (auto p = rowValue(*row)) subs.push_back(std::move(p));
    if (subs.empty()) return nullptr;
    switch (static_cast<Match>(mCompound->currentIndex())) {
        case Match::Any:
            return Predicate::orPredicate(std::move(subs));
        case Match::None:
            return Predicate::notPredicate(Predicate::orPredicate(std::move(subs)));
        case Match::All:
            break;
    }
    return Predicate::andPredicate(std::move(subs));
}

void PredicateEditor::setObjectValue(const Predicate::Pointer& predicate) {
    for (const auto& row : mRows) {
        row->widget->hide();
        row->widget->deleteLater();
    }
    mRows.clear();
    mCompound->setCurrentIndex(static_cast<int>(Match::All));

    std::vector<Predicate::Pointer> parts;
    if (predicate) {
        const Predicate* compound = predicate.get();
        Match match = Match::All;
        if (compound->kind() == Predicate::Kind::Not && compound->subpredicates().size() == 1 &&
            compound->subpredicates().front()->kind() == Predicate::Kind::Or) {
            match = Match::None;
            compound = compound->subpredicates().front().get();
        } else if (compound->kind() == Predicate::Kind::Or) {
            match = Match::Any;
        }
        if (compound->kind() == Predicate::Kind::And || compound->kind() == Predicate::Kind::Or) {
            parts = compound->subpredicates();
            mCompound->setCurrentIndex(static_cast<int>(match));
        } else {
            parts = {predicate};
        }
        // An empty compound is shown as the one row of its own text, so it is kept as it is.
        if (parts.empty()) {
            parts = {predicate};
            mCompound->setCurrentIndex(static_cast<int>(Match::All));
        }
    }
    for (const Predicate::Pointer& part : parts) {
        auto row = makeRow();
        if (!showComparison(*row, *part)) {
            row->rawValue = part;
            row->property->hide();
            row->op->hide();
            row->text->hide();
            row->choice->hide();
            row->raw->setText(QString::fromStdString(part->predicateFormat()));
            row->raw->show();
        }
        mLayout->addWidget(row->widget);
        mRows.push_back(std::move(row));
    }
    rowsChanged();
}

void PredicateEditor::addRow() {
    insertRowAfter(numberOfRows() - 1);
}

void PredicateEditor::insertRowAfter(int row) {
    if (row < 0 || row >= numberOfRows()) return;
    auto added = makeRow();
    mLayout->insertWidget(row + 1, added->widget);
    mRows.insert(mRows.begin() + row, std::move(added));
    rowsChanged();
}

void PredicateEditor::removeRowAtIndex(int row) {
    if (row < 1 || row >= numberOfRows()) return;
    // The widget goes later: the click that asked for this is still being delivered by its button.
    mRows[static_cast<size_t>(row - 1)]->widget->hide();
    mRows[static_cast<size_t>(row - 1)]->widget->deleteLater();
    mRows.erase(mRows.begin() + (row - 1));
    rowsChanged();
}

void PredicateEditor::rowsChanged() {
    // The height is the owner's to give: a sheet grows by the rows' height as a whole.
    updateGeometry();
    if (rowsDidChange) rowsDidChange();
}
