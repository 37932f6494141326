#include <gtest/gtest.h>

#include "platform/Foundation/KeyValueCoding.h"
#include "platform/Foundation/Predicate.h"
#include "platform/Foundation/PredicateParser.h"

namespace {

struct DictionaryObject : KeyValueCoding {
    PropertyList::Dictionary values;
    std::optional<PropertyList> valueForKeyPath(std::string_view keyPath) const override {
        auto it = values.find(keyPath);
        if (it == values.end()) return std::nullopt;
        return it->second;
    }
};

DictionaryObject track() {
    DictionaryObject o;
    o.values = {{"trackName", "Café Slow Dance"},
                {"trackGenre", "Jazz"},
                {"trackBPM", 96},
                {"trackRating", 60},
                {"threestars", 60},
                {"assigned", true},
                {"persistentID", PropertyList(int64_t{0x7fffffff12345678})},
                {"ratio", 0.5}};
    return o;
}

Predicate::Pointer parse(const std::string& text) {
    auto p = PredicateParser::predicateWithFormat(text);
    EXPECT_TRUE(p.ok()) << text << ": " << p.error();
    return p.ok() ? p.value() : nullptr;
}

TEST(PredicateTest, EvaluatesComparisonsAndCompounds) {
    const DictionaryObject object = track();
    const struct {
        const char* format;
        bool expected;
    } cases[] = {
        {"trackBPM == 96", true},
        {"trackBPM = 96.0", true},
        {"trackBPM != 96", false},
        {"trackBPM < 100 AND trackBPM >= 96", true},
        {"trackBPM > 96", false},
        {"trackRating == threestars", true},
        {"trackRating >= threestars AND trackRating < 80", true},
        {"persistentID == 9223372032865228408", true},
        {"persistentID > 9223372032865228407", true},
        {"ratio < 1", true},
        {"assigned == YES", true},
        {"assigned == 1", true},
        {"assigned == NO", false},
        {"trackName BEGINSWITH \"Café\"", true},
        {"trackName BEGINSWITH \"cafe\"", false},
        {"trackName BEGINSWITH[c] \"CAFÉ\"", true},
        {"trackName BEGINSWITH[c] \"cafe\"", false},
        {"trackName BEGINSWITH[cd] \"CAFE\"", true},
        {"trackName BEGINSWITH[d] \"Cafe\"", true},
        {"trackName ENDSWITH \"Dance\"", true},
        {"trackName CONTAINS[c] \"slow\"", true},
        {"trackName LIKE \"Caf? * Dance\"", true},
        {"trackName LIKE \"*Fast*\"", false},
        {"trackGenre == \"jazz\"", false},
        {"trackGenre ==[c] \"jazz\"", true},
        {"trackGenre < \"Rock\"", true},
        {"trackGenre == 1", false},
        {"trackGenre != 1", true},
        {"NOT trackGenre == \"Rock\"", true},
        {"trackGenre == \"Rock\" OR trackBPM == 96", true},
        {"(trackGenre == \"Rock\" OR trackBPM == 96) AND NOT assigned == YES", false},
        {"TRUEPREDICATE", true},
        {"FALSEPREDICATE", false},
    };
    for (const auto& c : cases) {
        auto p = parse(c.format);
        ASSERT_TRUE(p) << c.format;
        auto result = p->evaluateWithObject(object);
        ASSERT_TRUE(result.ok()) << c.format << ": " << result.error();
        EXPECT_EQ(result.value(), c.expected) << c.format;
    }
}

TEST(PredicateTest, EvaluationErrorsNameTheirCause) {
    const DictionaryObject object = track();
    const struct {
        const char* format;
        const char* message;
    } cases[] = {
        {"trackTempo == 96", "trackTempo"},
        {"trackGenre < 3", "cannot apply <"},
        {"trackBPM CONTAINS \"9\"", "cannot apply CONTAINS"},
        // The OR reaches its failing part before the one that holds.
        {"missing == 1 OR trackBPM == 96", "missing"},
        {"NOT missing == 1", "missing"},
    };
    for (const auto& c : cases) {
        auto p = parse(c.format);
        ASSERT_TRUE(p) << c.format;
        auto result = p->evaluateWithObject(object);
        ASSERT_FALSE(result.ok()) << c.format;
        EXPECT_NE(result.error().find(c.message), std::string::npos) << c.format << ": " << result.error();
    }
    // A compound stops at its first deciding part, as the format reads.
    EXPECT_TRUE(parse("trackBPM == 96 OR missing == 1")->evaluateWithObject(object).value());
}

TEST(PredicateTest, PrintsTheFormatAndReadsItBack) {
    const struct {
        const char* input;
        const char* printed;
    } cases[] = {
        {"trackBPM>120", "trackBPM > 120"},
        {"trackName contains[dc] 'a \"b\"'", "trackName CONTAINS[cd] \"a \\\"b\\\"\""},
        {"a == 1 and b == 2 and c == 3", "a == 1 AND b == 2 AND c == 3"},
        {"(a == 1 || b == 2) && !c == 3", "(a == 1 OR b == 2) AND NOT c == 3"},
        {"NOT (a == 1 AND b == 2)", "NOT (a == 1 AND b == 2)"},
        {"a =< 1 OR a => 2 OR a <> 3", "a <= 1 OR a >= 2 OR a != 3"},
        {"x == 2.5 AND y == -3 AND z == true", "x == 2.5 AND y == -3 AND z == YES"},
        {"#like == \"x\\\\y\"", "#like == \"x\\\\y\""},
        {"a == b", "a == b"},
        {"truepredicate", "TRUEPREDICATE"},
    };
    for (const auto& c : cases) {
        auto p = parse(c.input);
        ASSERT_TRUE(p) << c.input;
        EXPECT_EQ(p->predicateFormat(), c.printed) << c.input;
        auto again = parse(p->predicateFormat());
        ASSERT_TRUE(again) << c.printed;
        EXPECT_TRUE(again->isEqual(*p)) << c.printed;
    }
    // A key path against a key path keeps both sides key paths.
    auto p = parse("trackRating == threestars");
    EXPECT_EQ(p->rightExpression().type(), PredicateExpression::Type::KeyPath);
}

TEST(PredicateTest, MalformedTextIsRefusedWithItsPosition) {
    for (const char* text : {"", "trackBPM", "trackBPM ==", "trackBPM ~ 3", "(a == 1", "a == 1)",
                             "a == \"open", "a ==[x] 1", "AND == 1", "a == 1 AND", "a == 1.2.3", "# == 1"}) {
        auto p = PredicateParser::predicateWithFormat(text);
        EXPECT_FALSE(p.ok()) << "'" << text << "' was read";
        if (!p.ok()) {
            EXPECT_NE(p.error().find("expected"), std::string::npos) << text << ": " << p.error();
        }
    }
    // Deep nesting is refused, not followed down the stack.
    std::string deep(100000, '(');
    EXPECT_FALSE(PredicateParser::predicateWithFormat(deep + "a == 1").ok());
    std::string nots;
    for (int i = 0; i < 50000; ++i) nots += "NOT ";
    EXPECT_FALSE(PredicateParser::predicateWithFormat(nots + "a == 1").ok());
}

TEST(PredicateTest, ArchiveRoundTripAndRefusal) {
    auto p = parse(
        "(trackGenre ==[cd] \"Jazz\" OR trackRating >= fourstars) AND NOT trackBPM < 90.5 "
        "AND assigned == NO");
    ASSERT_TRUE(p);
    auto back = Predicate::unarchive(p->archive());
    ASSERT_TRUE(back.ok()) << back.error();
    EXPECT_TRUE(back.value()->isEqual(*p));
    EXPECT_EQ(back.value()->predicateFormat(), p->predicateFormat());

    PropertyList::Dictionary comparison = *parse("a == 1")->archive().dictionary();
    auto with = [&](const char* key, PropertyList value) {
        PropertyList::Dictionary d = comparison;
        d[key] = std::move(value);
        return PropertyList(d);
    };
    const struct {
        const char* name;
        PropertyList archived;
    } bad[] = {
        {"not a dictionary", PropertyList("a == 1")},
        {"unknown kind", with("Kind", "XOR")},
        {"unknown operator", with("Operator", "~")},
        {"bad options", with("Options", 8)},
        {"constant of a date", with("Right", PropertyList::Dictionary{{"Constant", PropertyList::Date{}}})},
        {"empty key path", with("Left", PropertyList::Dictionary{{"KeyPath", ""}})},
        {"NOT of two",
         PropertyList::Dictionary{{"Kind", "NOT"},
                                  {"Subpredicates", PropertyList::Array{comparison, comparison}}}},
        {"compound without list", PropertyList::Dictionary{{"Kind", "AND"}}},
    };
    for (const auto& c : bad) EXPECT_FALSE(Predicate::unarchive(c.archived).ok()) << c.name;
}

}  // namespace
