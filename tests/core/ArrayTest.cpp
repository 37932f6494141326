#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <random>
#include <vector>

#include "core/LArray.h"
#include "core/LArrayIterator.h"

namespace {

std::vector<SInt64> Contents(const LArray& array) {
    std::vector<SInt64> out;
    for (ArrayIndexT i = 1; static_cast<UInt32>(i) <= array.GetCount(); ++i) {
        SInt64 value = 0;
        EXPECT_TRUE(array.FetchItemAt(i, &value));
        out.push_back(value);
    }
    return out;
}

void Add(LArray& array, std::initializer_list<SInt64> values) {
    for (SInt64 v : values) array.AddItem(&v);
}

// 16-byte items ordered by their first 8 bytes only, so equal keys can be told apart.
struct Tagged {
    SInt64 key;
    SInt64 tag;
};
class KeyComparator : public LComparator {
public:
    SInt32 Compare(const void* a, const void* b, UInt32, UInt32) const override {
        const SInt64 x = static_cast<const Tagged*>(a)->key;
        const SInt64 y = static_cast<const Tagged*>(b)->key;
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    SInt32 CompareToKey(const void* item, UInt32, const void* key) const override {
        const SInt64 x = static_cast<const Tagged*>(item)->key;
        const SInt64 y = *static_cast<const SInt64*>(key);
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    std::unique_ptr<LComparator> Clone() const override { return std::make_unique<KeyComparator>(); }
};

// Remembers the item taken aside in the first comparison of a sort: with gap h that is item h + 1.
class FirstCompareRecorder : public LLongComparator {
public:
    SInt32 Compare(const void* a, const void* b, UInt32 sa, UInt32 sb) const override {
        if (!fFirst) std::memcpy(&*(fFirst = SInt64{}), a, 8);
        return LLongComparator::Compare(a, b, sa, sb);
    }
    mutable std::optional<SInt64> fFirst;
};

}  // namespace

TEST(LArrayTest, KeptSorted64BitInserts) {
    LArray array;
    array.SetKeepSorted(true);
    Add(array, {0x100000000LL, 1, -1, 0, INT64_MIN, INT64_MAX, 1});
    EXPECT_EQ(Contents(array), (std::vector<SInt64>{INT64_MIN, -1, 0, 1, 1, 0x100000000LL, INT64_MAX}));
    EXPECT_TRUE(array.IsSorted());
    const SInt64 wanted = 0x100000000LL;
    EXPECT_EQ(array.FetchIndexOf(&wanted), 6);
    const SInt64 missing = 2;
    EXPECT_EQ(array.FetchIndexOf(&missing), 0);
    EXPECT_EQ(array.FetchInsertIndexOf(&missing), 6);

    array.SwapItems(1, 2);
    array.MoveItem(1, index_Last);
    EXPECT_EQ(Contents(array).front(), INT64_MIN) << "swap and move do nothing while kept sorted";
}

TEST(LArrayTest, EqualItemGoesBeforeTheEqualItemTheSearchMet) {
    LArray array(sizeof(Tagged), new KeyComparator, true);
    for (Tagged t : {Tagged{1, 10}, Tagged{2, 20}, Tagged{3, 30}}) array.AddItem(&t);
    const Tagged equal{2, 99};
    EXPECT_EQ(array.AddItem(&equal), 2);
    Tagged second{};
    Tagged third{};
    array.FetchItemAt(2, &second);
    array.FetchItemAt(3, &third);
    EXPECT_EQ(second.tag, 99);
    EXPECT_EQ(third.tag, 20);
    const SInt64 key = 3;
    EXPECT_EQ(array.FetchIndexOfKey(&key), 4);

    LArray copy(array);
    EXPECT_NE(copy.GetComparator(), array.GetComparator()) << "an owned comparator is cloned";
    EXPECT_EQ(copy.FetchIndexOfKey(&key), 4);
}

TEST(LArrayTest, UnsortedArrayFallsBackToLinearSearch) {
    LArray array;
    EXPECT_TRUE(array.IsSorted());
    Add(array, {5, 3});
    EXPECT_FALSE(array.IsSorted());
    const SInt64 three = 3;
    EXPECT_EQ(array.FetchIndexOf(&three), 2) << "a binary search over 5, 3 would miss it";
    EXPECT_EQ(array.FetchInsertIndexOf(&three), index_Last);
    array.Sort();
    EXPECT_EQ(Contents(array), (std::vector<SInt64>{3, 5}));
    EXPECT_EQ(array.Remove(&three), 1);
    EXPECT_EQ(Contents(array), (std::vector<SInt64>{5}));
}

TEST(LArrayTest, InsertIndexesAreClamped) {
    struct Case {
        const char* name;
        ArrayIndexT index;
        std::vector<SInt64> expected;
    };
    const Case cases[] = {
        {"0 inserts at 1", 0, {9, 1, 2, 3}},
        {"2 inserts at 2", 2, {1, 9, 2, 3}},
        {"4 appends", 4, {1, 2, 3, 9}},
        {"last appends", index_Last, {1, 2, 3, 9}},
        {"above the count appends", 99, {1, 2, 3, 9}},
        {"negative appends", -5, {1, 2, 3, 9}},
    };
    for (const Case& c : cases) {
        LArray array;
        Add(array, {1, 2, 3});
        const SInt64 nine = 9;
        array.InsertItemsAt(1, c.index, &nine);
        EXPECT_EQ(Contents(array), c.expected) << c.name;
    }
    LArray array;
    const SInt64 seven = 7;
    EXPECT_EQ(array.InsertItemsAt(3, 1, &seven), 1);
    EXPECT_EQ(Contents(array), (std::vector<SInt64>{7, 7, 7}));
    EXPECT_EQ(array.InsertItemsAt(0, 1, &seven), 0);
}

TEST(LArrayTest, RemovalsAssignmentsAndMoves) {
    LArray array;
    Add(array, {1, 2, 3, 4});
    array.RemoveItemsAt(5, 3);
    EXPECT_EQ(Contents(array), (std::vector<SInt64>{1, 2}));
    array.RemoveItemsAt(1, 0);
    array.RemoveItemsAt(1, 3);
    EXPECT_EQ(array.GetCount(), 2u) << "out-of-range removals do nothing";

    Add(array, {3, 4, 5});
    array.MoveItem(1, 4);
    EXPECT_EQ(Contents(array), (std::vector<SInt64>{2, 3, 4, 1, 5}));
    array.MoveItem(index_Last, 1);
    EXPECT_EQ(Contents(array), (std::vector<SInt64>{5, 2, 3, 4, 1}));
    array.SwapItems(2, index_Last);
    EXPECT_EQ(Contents(array), (std::vector<SInt64>{5, 1, 3, 4, 2}));
    array.SwapItems(0, 2);
    EXPECT_EQ(Contents(array), (std::vector<SInt64>{5, 1, 3, 4, 2}));
    const SInt64 zero = 0;
    EXPECT_EQ(array.AssignItemsAt(9, 4, &zero), 4);
    EXPECT_EQ(Contents(array), (std::vector<SInt64>{5, 1, 3, 0, 0}));
    EXPECT_EQ(array.AssignItemsAt(1, 6, &zero), 0);

    SInt64 last = 0;
    EXPECT_TRUE(array.RemoveLastItem(&last));
    EXPECT_EQ(last, 0);
    EXPECT_EQ(array.GetCount(), 4u);

    SInt64 big = 0;
    UInt32 size = 4;
    EXPECT_TRUE(array.FetchItemAt(1, &big, size));
    EXPECT_EQ(size, 4u) << "a shorter request gets that many bytes";
    size = 8;
    EXPECT_FALSE(array.FetchItemAt(5, &big, size));
    EXPECT_EQ(size, 0u);
}

TEST(LArrayTest, LockRefusesStructuralChangesButNotAssignment) {
    LArray array;
    Add(array, {1, 2});
    array.Lock();
    const SInt64 nine = 9;
    EXPECT_EQ(array.AddItem(&nine), 0);
    EXPECT_EQ(array.InsertItemsAt(1, 1, &nine), 0);
    array.RemoveItemsAt(1, 1);
    SInt64 out = 0;
    EXPECT_FALSE(array.RemoveLastItem(&out));
    EXPECT_EQ(array.AssignItemsAt(1, 1, &nine), 1);
    LArray other;
    Add(other, {7});
    array = other;
    array.Unlock();
    EXPECT_EQ(Contents(array), (std::vector<SInt64>{9, 2}));
    array = other;
    EXPECT_EQ(Contents(array), (std::vector<SInt64>{7}));
}

TEST(LArrayTest, ShellSortGaps) {
    struct Case {
        int count;
        SInt64 firstAside;  // item h + 1 of the largest gap h
    };
    const Case cases[] = {{17, 2}, {18, 5}, {1000, 122}};
    for (const Case& c : cases) {
        auto recorder = std::make_unique<FirstCompareRecorder>();
        FirstCompareRecorder* seen = recorder.get();
        LArray array(8, recorder.release(), false);
        for (SInt64 v = 1; v <= c.count; ++v) array.AddItem(&v);
        seen->fFirst.reset();
        array.Sort();
        ASSERT_TRUE(seen->fFirst) << c.count;
        EXPECT_EQ(*seen->fFirst, c.firstAside) << c.count;
    }
}

TEST(LArrayTest, MatchesAVectorOverRandomOperations) {
    for (bool keepSorted : {false, true}) {
        std::mt19937 random(keepSorted ? 7 : 11);
        LArray array;
        array.SetKeepSorted(keepSorted);
        std::vector<SInt64> model;
        for (int step = 0; step < 3000; ++step) {
            const SInt64 value = static_cast<SInt64>(random() % 200) - 100;
            const int op = static_cast<int>(random() % 4);
            const auto count = static_cast<ArrayIndexT>(model.size());
            const ArrayIndexT index = static_cast<ArrayIndexT>(random() % (count + 2));
            if (op < 2) {
                const UInt32 copies = 1 + random() % 3;
                const ArrayIndexT at = array.InsertItemsAt(copies, index, &value);
                if (keepSorted) {
                    ASSERT_GE(at, 1);
                    model.insert(model.begin() + (at - 1), copies, value);
                } else {
                    const ArrayIndexT expected = (index == 0) ? 1 : (index > count ? count + 1 : index);
                    ASSERT_EQ(at, expected);
                    model.insert(model.begin() + (at - 1), copies, value);
                }
            } else if (op == 2 && index >= 1 && index <= count) {
                const UInt32 n = 1 + random() % 4;
                array.RemoveItemsAt(n, index);
                model.erase(model.begin() + (index - 1),
                            model.begin() + std::min<size_t>(model.size(), index - 1 + n));
            } else if (!model.empty()) {
                const ArrayIndexT found = array.FetchIndexOf(&value);
                const bool inModel = std::find(model.begin(), model.end(), value) != model.end();
                ASSERT_EQ(found != 0, inModel) << "step " << step;
                if (found) {
                    ASSERT_EQ(model[found - 1], value);
                }
            }
            ASSERT_EQ(Contents(array), model) << "step " << step << (keepSorted ? " sorted" : "");
        }
        if (keepSorted) {
            EXPECT_TRUE(std::is_sorted(model.begin(), model.end()));
        }
    }
}

TEST(LArrayIteratorTest, WalksAndSurvivesInsertionAndRemoval) {
    LArray array;
    Add(array, {1, 2, 3});
    {
        LArrayIterator walk(array);
        std::vector<SInt64> seen;
        for (SInt64 v; walk.Next(&v);) seen.push_back(v);
        EXPECT_EQ(seen, (std::vector<SInt64>{1, 2, 3}));
        SInt64 v = 0;
        EXPECT_FALSE(walk.Next(&v));
        EXPECT_TRUE(walk.Previous(&v));
        EXPECT_EQ(v, 3) << "from past the end, Previous yields the last item";
    }
    struct Case {
        const char* name;
        int stepsBefore;  // Next calls before the change
        void (*change)(LArray&);
        std::vector<SInt64> rest;  // what the following Next calls yield
    };
    const Case cases[] = {
        {"remove current", 2, [](LArray& a) { a.RemoveItemsAt(1, 2); }, {3}},
        {"remove current and the rest", 2, [](LArray& a) { a.RemoveItemsAt(9, 2); }, {}},
        {"remove before current", 2, [](LArray& a) { a.RemoveItemsAt(1, 1); }, {3}},
        {"remove after current", 1, [](LArray& a) { a.RemoveItemsAt(1, 2); }, {3}},
        {"insert right after current",
         2,
         [](LArray& a) {
             const SInt64 v = 9;
             a.InsertItemsAt(1, 3, &v);
         },
         {9, 3}},
        {"insert before current",
         2,
         [](LArray& a) {
             const SInt64 v = 9;
             a.InsertItemsAt(2, 1, &v);
         },
         {3}},
        {"insert at start before walking",
         0,
         [](LArray& a) {
             const SInt64 v = 9;
             a.InsertItemsAt(1, 1, &v);
         },
         {9, 1, 2, 3}},
    };
    for (const Case& c : cases) {
        LArray local;
        Add(local, {1, 2, 3});
        LArrayIterator walk(local);
        SInt64 v = 0;
        for (int i = 0; i < c.stepsBefore; ++i) ASSERT_TRUE(walk.Next(&v)) << c.name;
        c.change(local);
        std::vector<SInt64> rest;
        while (walk.Next(&v)) rest.push_back(v);
        EXPECT_EQ(rest, c.rest) << c.name;
    }
}

TEST(LArrayIteratorTest, RemovedCurrentThenPreviousAndDeadArray) {
    auto array = std::make_unique<LArray>();
    Add(*array, {1, 2, 3, 4});
    LArrayIterator walk(*array);
    LArrayIterator other(*array, 4);
    SInt64 v = 0;
    walk.Next(&v);
    walk.Next(&v);
    walk.Next(&v);  // at 3
    array->RemoveItemsAt(1, 3);
    EXPECT_EQ(walk.GetCurrentIndex(), LArrayIterator::kRemoved);
    EXPECT_FALSE(walk.Current(&v));
    EXPECT_EQ(walk.PtrToCurrent(), nullptr);
    EXPECT_TRUE(walk.Previous(&v));
    EXPECT_EQ(v, 2);
    EXPECT_TRUE(other.Current(&v));
    EXPECT_EQ(v, 4) << "the other iterator followed its item down";

    array.reset();
    EXPECT_FALSE(walk.Next(&v));
    EXPECT_FALSE(walk.Previous(&v));
    EXPECT_FALSE(walk.Current(&v));
    EXPECT_EQ(walk.PtrToNext(), nullptr);
    walk.ResetTo(0);
    EXPECT_FALSE(walk.Next(&v));
}  // both iterators end after their array: they must not touch it
