#include <gtest/gtest.h>

#include <QTest>
#include <memory>

#include "Source/Toolkit/IntegerOnlyNumberFormatter.h"
#include "platform/AppKit/TextField.h"
#include "tests/Source/ViewTestApplication.h"

namespace {
constexpr const char* kNonNumeric = "Input contains one or more non-numeric characters.";
constexpr const char* kTooLarge = "Input is limited to 300 seconds";
constexpr const char* kTooSmall = "Input must be greater than or equal to one";
}  // namespace

TEST(IntegerOnlyNumberFormatter, WholeSecondsFromOneTo300) {
    const struct {
        const char* text;
        const char* error;  // nullptr: valid
    } cases[] = {
        {"1", nullptr},       {"300", nullptr},    {"10", nullptr},
        {"007", nullptr},     {"301", kTooLarge},  {"99999999999999999999", kTooLarge},
        {"0", kTooSmall},     {"", kTooSmall},     {"000", kTooSmall},
        {"12a", kNonNumeric}, {" 7", kNonNumeric}, {"-1", kNonNumeric},
        {"1.5", kNonNumeric}, {"+5", kNonNumeric}, {"\u0663", kNonNumeric},  // a digit of another script
    };
    for (const auto& k : cases) {
        IntegerOnlyNumberFormatter formatter;
        int beeps = 0;
        formatter.beep = [&] { ++beeps; };
        std::string editing = "untouched";
        std::string error = "none";
        const bool valid = formatter.isPartialStringValid(k.text, &editing, &error);
        EXPECT_EQ(valid, k.error == nullptr) << '"' << k.text << '"';
        if (k.error) {
            EXPECT_EQ(error, k.error) << '"' << k.text << '"';
            EXPECT_EQ(beeps, 1) << '"' << k.text << '"';
        } else {
            EXPECT_EQ(editing, k.text) << '"' << k.text << '"';
            EXPECT_EQ(beeps, 0) << '"' << k.text << '"';
        }
    }
}

TEST(IntegerOnlyNumberFormatter, FieldRefusesTypingPast300AndEmptying) {
    viewTestApplication();
    auto formatter = std::make_shared<IntegerOnlyNumberFormatter>();
    int beeps = 0;
    formatter->beep = [&] { ++beeps; };
    TextField field;
    field.setEditable(true);
    field.setFormatter(formatter);
    field.setStringValue("");
    QTest::keyClicks(&field, "301");
    EXPECT_EQ(field.stringValue(), "30") << "the 1 beeps and is refused";
    EXPECT_EQ(beeps, 1);
    QTest::keyClick(&field, Qt::Key_Backspace);
    EXPECT_EQ(field.stringValue(), "3");
    QTest::keyClick(&field, Qt::Key_Backspace);
    EXPECT_EQ(field.stringValue(), "3") << "deleting the last digit is refused too";
    EXPECT_EQ(beeps, 2);
    QTest::keyClicks(&field, "x");
    EXPECT_EQ(field.stringValue(), "3");
}
