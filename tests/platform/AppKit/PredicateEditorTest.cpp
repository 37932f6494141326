#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

#include "platform/AppKit/PredicateEditor.h"
#include "platform/Foundation/PredicateParser.h"
#include "tests/support/TestApplication.h"

namespace {

using Op = Predicate::Operator;
using ValueType = PredicateEditorRowTemplate::ValueType;

std::vector<PredicateEditorRowTemplate> templates() {
    return {
        {{{"name", "Name"}, {"genre", "Genre"}},
         {{Op::Contains, "contains"}, {Op::EqualTo, "is"}},
         ValueType::String,
         {},
         Predicate::kCaseInsensitive | Predicate::kDiacriticInsensitive},
        {{{"bpm", "BPM"}},
         {{Op::EqualTo, "is"}, {Op::GreaterThan, "is greater than"}},
         ValueType::Number,
         {},
         0},
        {{{"rating", "Rating"}},
         {{Op::GreaterThanOrEqualTo, "is at least"}},
         ValueType::KeyPath,
         {{"onestar", "1 star"}, {"fourstars", "4 stars"}},
         0},
        {{{"assigned", "Assigned"}}, {{Op::EqualTo, "is"}}, ValueType::Boolean, {}, 0},
    };
}

Predicate::Pointer parse(const char* text) {
    auto p = PredicateParser::predicateWithFormat(text);
    EXPECT_TRUE(p.ok()) << text << ": " << p.error();
    return p.ok() ? p.value() : nullptr;
}

struct PredicateEditorTest : ::testing::Test {
    void SetUp() override { testApplication(); }
    PredicateEditor editor{templates()};
};

TEST_F(PredicateEditorTest, ShowsAndGivesBackWhatItsRowsCanHold) {
    const struct {
        const char* format;
        int rows;
    } cases[] = {
        {"name CONTAINS[cd] \"slow\"", 2},
        {"name CONTAINS[cd] \"slow\" AND bpm > 120 AND rating >= fourstars AND assigned == YES", 5},
        {"genre ==[cd] \"Jazz\" OR bpm == 90", 3},
        {"NOT (genre ==[cd] \"Rock\" OR assigned == NO)", 3},
        // Kept whole in rows of their own text: a nested compound, an unknown key path, other options.
        {"(bpm > 1 OR bpm == 0) AND name CONTAINS[cd] \"x\"", 3},
        {"tempo == 3", 2},
        {"name CONTAINS \"case matters\"", 2},
        {"bpm > 2.5", 2},
    };
    for (const auto& c : cases) {
        auto p = parse(c.format);
        editor.setObjectValue(p);
        EXPECT_EQ(editor.numberOfRows(), c.rows) << c.format;
        auto back = editor.objectValue();
        ASSERT_TRUE(back) << c.format;
        // A single comparison comes back inside the all-of compound.
        const Predicate& compared = back->kind() == Predicate::Kind::And &&
                                            back->subpredicates().size() == 1 &&
                                            p->kind() == Predicate::Kind::Comparison
                                        ? *back->subpredicates().front()
                                        : *back;
        EXPECT_TRUE(compared.isEqual(*p)) << c.format << " came back as " << back->predicateFormat();
    }
    editor.setObjectValue(nullptr);
    EXPECT_EQ(editor.numberOfRows(), 1);
    EXPECT_EQ(editor.objectValue(), nullptr);
}

TEST_F(PredicateEditorTest, RowsAreEditedThroughTheirControls) {
    std::vector<int> changes;
    editor.rowsDidChange = [&] { changes.push_back(editor.numberOfRows()); };
    editor.addRow();
    editor.addRow();
    EXPECT_EQ(changes, (std::vector<int>{2, 3}));
    auto* value = qobject_cast<QLineEdit*>(editor.valueControl(1));
    ASSERT_NE(value, nullptr);
    value->setText("Blue");
    // Row 2 becomes a BPM row: its value field turns narrow and takes digits only.
    QComboBox* property = editor.propertyPopUp(2);
    property->setCurrentIndex(property->findText("BPM"));
    emit property->activated(property->currentIndex());
    auto* number = qobject_cast<QLineEdit*>(editor.valueControl(2));
    ASSERT_NE(number, nullptr);
    EXPECT_EQ(number->width(), PredicateEditor::kNumberFieldWidth);
    EXPECT_NE(value->maximumWidth(), PredicateEditor::kNumberFieldWidth)
        << "text fields keep the layout's width";
    number->setText("");
    QTest::keyClicks(number, "1x2");
    EXPECT_EQ(number->text(), "12");
    editor.operatorPopUp(2)->setCurrentIndex(1);
    editor.compoundPopUp()->setCurrentIndex(1);
    EXPECT_EQ(editor.objectValue()->predicateFormat(), "name CONTAINS[cd] \"Blue\" OR bpm > 12");

    // The row's own minus button removes it.
    editor.rowWidget(1)->findChild<QToolButton*>("removeRow")->click();
    EXPECT_EQ(editor.numberOfRows(), 2);
    EXPECT_EQ(editor.objectValue()->predicateFormat(), "bpm > 12");
    editor.removeRowAtIndex(0);
    EXPECT_EQ(editor.numberOfRows(), 2) << "the all/any/none row stays";
}

}  // namespace
