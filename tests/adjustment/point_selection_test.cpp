#include "adjustment/point_selection.h"

#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "bundle_fixture.h"
#include "matrix/arithmetic.h"
#include "tests/support/test_util.h"
#include "tools/synth/synth.h"

namespace pelvanor {
namespace {

using test::MakeMatrix;

// Seven tie points 101..107 on two images.
void SevenPoints(MatPtr& index, MatPtr& counts) {
    index = NewMatrix(7, 5);
    counts = NewMatrix(7, 2);
    for (int r = 1; r <= 7; ++r) {
        index->SetPrvek(r, 1, 100 + r);
        index->SetPrvek(r, 2, r);
        index->SetPrvek(r, 3, 1);
        index->SetPrvek(r, 4, 7 + r);
        index->SetPrvek(r, 5, 2);
        counts->SetPrvek(r, 1, 100 + r);
        counts->SetPrvek(r, 2, 2);
    }
}

std::vector<int> Numbers(const Matice& m) {
    std::vector<int> out;
    for (int r = 1; r <= m.r; ++r) out.push_back(static_cast<int>(m.GetPrvek(r, 1)));
    return out;
}

TEST(SelectBundlePoints, EveryKthRowWithKRoundedToEven) {
    MatPtr index, counts;
    SevenPoints(index, counts);
    struct Case {
        int percent;
        std::vector<int> rows;
    };
    const Case cases[] = {{50, {102, 104, 106}}, {33, {103, 106}}, {100, {101, 102, 103, 104, 105, 106, 107}},
                          {40, {102, 104, 106}},  // 2.5 rounds to 2
                          {60, {102, 104, 106}},  // 1.67 rounds to 2
                          {17, {106}}};
    for (const auto& c : cases) {
        MatPtr si, sc;
        ASSERT_TRUE(SelectBundlePoints(index.get(), counts.get(), c.percent, si, sc)) << c.percent;
        EXPECT_EQ(Numbers(*si), c.rows) << c.percent;
        EXPECT_EQ(Numbers(*sc), c.rows) << c.percent;
        ASSERT_EQ(si->s, 5);
        // Whole rows are copied.
        for (int r = 1; r <= si->r; ++r) EXPECT_EQ(si->GetPrvek(r, 4), si->GetPrvek(r, 1) - 100 + 7);
    }
}

TEST(SelectBundlePoints, NothingTakenGivesEmptyTablesAndPercentZeroFails) {
    MatPtr index, counts;
    SevenPoints(index, counts);
    for (int percent : {1, 200, -50}) {
        MatPtr si, sc;
        ASSERT_TRUE(SelectBundlePoints(index.get(), counts.get(), percent, si, sc)) << percent;
        EXPECT_EQ(si->r, 1);
        EXPECT_EQ(si->s, 1);
        EXPECT_EQ(si->GetPrvek(1, 1), 0.0L);
        EXPECT_EQ(sc->r, 1);
    }
    // No tie point at all: the empty tables pass through.
    auto empty = NewMatrix(1, 1);
    for (int percent : {100, 50}) {
        MatPtr si, sc;
        ASSERT_TRUE(SelectBundlePoints(empty.get(), empty.get(), percent, si, sc)) << percent;
        EXPECT_EQ(si->r, 1);
        EXPECT_EQ(si->GetPrvek(1, 1), 0.0L);
    }
    MatPtr si, sc;
    EXPECT_FALSE(SelectBundlePoints(index.get(), counts.get(), 0, si, sc));
    EXPECT_FALSE(SelectBundlePoints(nullptr, counts.get(), 50, si, sc));
}

// Three images.  Control point 1 on all three, tie points 101 (images 1, 2),
// 102 (images 2, 3), 103 (images 1, 2, 3): observation rows 1-6, 7-10, 11-14
// and 15-20.
struct OutlierCase {
    MatPtr list = MakeMatrix({{1, 1, -1, 5, -2, 9, -3},
                              {101, 1, 1, 4, 2, 0, 0},
                              {102, 5, 2, 8, 3, 0, 0},
                              {103, 2, 1, 6, 2, 9, 3}});
    MatPtr index = MakeMatrix({{101, 1, 1, 4, 2, 0, 0}, {102, 5, 2, 8, 3, 0, 0}, {103, 2, 1, 6, 2, 9, 3}});
    MatPtr counts = MakeMatrix({{101, 2}, {102, 2}, {103, 3}});
    MatPtr imageRows = MakeMatrix({{4}, {4}, {4}});
    MatPtr controlCounts = MakeMatrix({{1, 3}});
    MatPtr weights = NewMatrix(20, 1);
    OutlierCase() {
        for (int i = 1; i <= 20; ++i) weights->SetPrvek(i, 1, 0.9L);
    }
    bool Run(MatPtr& ci, MatPtr& cc, MatPtr& out) {
        return SelectOutliers(list.get(), index.get(), imageRows.get(), 50.0L, counts.get(), controlCounts.get(),
                              weights.get(), 1, ci, cc, out);
    }
};

TEST(SelectOutliers, RowsAreAttributedToThePointThatProducedThem) {
    OutlierCase c;
    // Row 16 is 103's (second measurement); a formula assuming every point on
    // every image would look for it among rows 19-24.
    c.weights->SetPrvek(16, 1, 0.1L);
    MatPtr ci, cc, out;
    ASSERT_TRUE(c.Run(ci, cc, out));
    ASSERT_EQ(out->r, 1);
    EXPECT_EQ(out->GetPrvek(1, 1), 103.0L);
    EXPECT_EQ(out->GetPrvek(1, 2), 4.0L);
    EXPECT_EQ(Numbers(*ci), (std::vector<int>{101, 102}));
    EXPECT_EQ(Numbers(*cc), (std::vector<int>{101, 102}));
    EXPECT_EQ(ci->GetPrvek(2, 4), 8.0L);

    // Row 11 is 102's first row, row 10 101's last.
    OutlierCase d;
    d.weights->SetPrvek(11, 1, 0.2L);
    d.weights->SetPrvek(10, 1, 0.4999L);
    d.weights->SetPrvek(12, 1, 0.3L);
    ASSERT_TRUE(d.Run(ci, cc, out));
    ASSERT_EQ(out->r, 2);
    EXPECT_EQ(out->GetPrvek(1, 1), 101.0L);  // first detected first
    EXPECT_EQ(out->GetPrvek(2, 1), 102.0L);  // listed once for two rows
    EXPECT_EQ(Numbers(*ci), (std::vector<int>{103}));
}

TEST(SelectOutliers, NoLowWeightGivesCopiesAndTheEmptyList) {
    OutlierCase c;
    c.weights->SetPrvek(3, 1, 0.5L);  // equal to the threshold: not below it
    MatPtr ci, cc, out;
    ASSERT_TRUE(c.Run(ci, cc, out));
    EXPECT_EQ(out->r, 1);
    EXPECT_EQ(out->s, 1);
    EXPECT_EQ(out->GetPrvek(1, 1), 0.0L);
    EXPECT_EQ(Numbers(*ci), (std::vector<int>{101, 102, 103}));
    EXPECT_EQ(Numbers(*cc), (std::vector<int>{101, 102, 103}));
}

TEST(SelectOutliers, ControlPointsAreListedButNotRemovedAndNumbersAreRounded) {
    OutlierCase c;
    c.weights->SetPrvek(2, 1, 0.0L);
    c.list->SetPrvek(4, 1, 103.3L);  // rounds to 103
    c.weights->SetPrvek(20, 1, 0.0L);
    MatPtr ci, cc, out;
    ASSERT_TRUE(c.Run(ci, cc, out));
    ASSERT_EQ(out->r, 2);
    EXPECT_EQ(out->GetPrvek(1, 1), 1.0L);
    EXPECT_EQ(out->GetPrvek(2, 1), 103.3L);
    EXPECT_EQ(Numbers(*ci), (std::vector<int>{101, 102}));
}

TEST(SelectOutliers, RemovingEveryTiePointFailsButAnEmptyTableStaysEmpty) {
    OutlierCase c;
    for (int i = 7; i <= 20; ++i) c.weights->SetPrvek(i, 1, 0.0L);
    MatPtr ci, cc, out;
    EXPECT_FALSE(c.Run(ci, cc, out));
    EXPECT_EQ(out->r, 3);

    // Control points alone: a control outlier leaves the empty tie tables empty.
    OutlierCase d;
    d.list = MakeMatrix({{1, 1, -1, 5, -2, 9, -3}});
    d.index = NewMatrix(1, 1);
    d.counts = NewMatrix(1, 1);
    d.weights = NewMatrix(6, 1);
    ASSERT_TRUE(d.Run(ci, cc, out));
    EXPECT_EQ(out->GetPrvek(1, 1), 1.0L);
    EXPECT_EQ(ci->r, 1);
    EXPECT_EQ(ci->GetPrvek(1, 1), 0.0L);
}

TEST(SelectOutliers, WeightsThatDoNotMatchThePointListFail) {
    OutlierCase c;
    c.weights = NewMatrix(18, 1);
    MatPtr ci, cc, out;
    EXPECT_FALSE(c.Run(ci, cc, out));
    OutlierCase d;
    d.weights = nullptr;
    EXPECT_FALSE(d.Run(ci, cc, out));
}

// The selection as a plain scan would make it: every look-up of a point
// number a linear search of the numbers listed so far.
void ScannedOutliers(const Matice& list, const Matice& index, const Matice& counts, const Matice& weights,
                     long double percent, MatPtr& cleanedIndex, MatPtr& cleanedCounts, MatPtr& outliers) {
    std::vector<int> pointOfRow;
    for (int i = 1; i <= list.r; ++i)
        for (int col = 3; col <= list.s; col += 2)
            if (RoundId(list.GetPrvek(i, col)) != 0) pointOfRow.insert(pointOfRow.end(), {i, i});
    std::vector<decltype(RoundId(0.0L))> numbers;
    std::vector<int> rows;
    for (int i = 1; i <= weights.r; ++i) {
        if (!(percent / 100.0L > weights.GetPrvek(i, 1))) continue;
        const int h = pointOfRow[static_cast<std::size_t>(i - 1)];
        const auto number = RoundId(list.GetPrvek(h, 1));
        bool seen = false;
        for (const auto n : numbers) seen = seen || n == number;
        if (seen) continue;
        numbers.push_back(number);
        rows.push_back(h);
    }
    outliers = NewMatrix(static_cast<std::uint16_t>(numbers.size()), 2);
    for (std::size_t q = 0; q < numbers.size(); ++q) {
        outliers->SetPrvek(static_cast<int>(q) + 1, 1, list.GetPrvek(rows[q], 1));
        outliers->SetPrvek(static_cast<int>(q) + 1, 2, rows[q]);
    }
    const auto without = [&](const Matice& table, MatPtr& out) {
        out = NewMatrix(table.r, table.s);
        int j = 0;
        for (int r = 1; r <= table.r; ++r) {
            bool removed = false;
            for (const auto n : numbers) removed = removed || n == RoundId(table.GetPrvek(r, 1));
            if (removed) continue;
            ++j;
            for (int col = 1; col <= table.s; ++col) out->SetPrvek(j, col, table.GetPrvek(r, col));
        }
        CompactRows(out);
    };
    without(index, cleanedIndex);
    without(counts, cleanedCounts);
}

// A generated project whose tie points are renumbered so that numbers repeat
// (also one of a control point), stand out of order and differ by fractions
// that round alike; a quarter of the observation rows weigh little.
TEST(SelectOutliers, IndexedLookupsGiveWhatAScanGives) {
    synth::Options o;
    o.images = 5;
    o.control = 8;
    o.points = 120;
    o.seed = 9;
    synth::Project project;
    ASSERT_TRUE(synth::Generate(o, project));
    test::BundleData data = test::FromSynth(project, 1.0L);
    MatPtr index = MatCopy(*data.tieIndex);
    MatPtr counts = MatCopy(*data.tieCounts);
    const int t = index->r;
    const int c = data.controlIndex->r;
    ASSERT_GT(t, 50);
    for (int r = 1; r <= t; ++r) {
        long double number = 1000.0L + static_cast<long double>((r * 37) % (t / 2 + 1));
        if (r % 5 == 0) number += 0.3L;
        if (r % 7 == 0) number -= 0.4L;
        if (r == t / 3) number = data.controlIndex->GetPrvek(2, 1);
        index->SetPrvek(r, 1, number);
        counts->SetPrvek(r, 1, number);
    }
    MatPtr list = NewMatrix(static_cast<std::uint16_t>(c + t), index->s);
    for (int r = 1; r <= c; ++r)
        for (int col = 1; col <= data.controlIndex->s; ++col)
            list->SetPrvek(r, col, data.controlIndex->GetPrvek(r, col));
    for (int r = 1; r <= t; ++r)
        for (int col = 1; col <= index->s; ++col) list->SetPrvek(c + r, col, index->GetPrvek(r, col));
    int rows = 0;
    for (int i = 1; i <= list->r; ++i)
        for (int col = 3; col <= list->s; col += 2) rows += RoundId(list->GetPrvek(i, col)) != 0 ? 2 : 0;
    MatPtr weights = NewMatrix(static_cast<std::uint16_t>(rows), 1);
    std::uint32_t state = 12345;
    for (int i = 1; i <= rows; ++i) {
        state = state * 1664525u + 1013904223u;
        weights->SetPrvek(i, 1, (state >> 24) % 4 == 0 ? 0.3L : 0.9L);
    }

    MatPtr ci, cc, out, refIndex, refCounts, refOut;
    ASSERT_TRUE(SelectOutliers(list.get(), index.get(), data.controlCounts.get(), 50.0L, counts.get(),
                               data.controlTable.get(), weights.get(), 4, ci, cc, out));
    ScannedOutliers(*list, *index, *counts, *weights, 50.0L, refIndex, refCounts, refOut);
    ASSERT_GT(refOut->r, 10);
    ASSERT_LT(refIndex->r, t);
    EXPECT_TRUE(test::SameTable(*out, *refOut));
    EXPECT_TRUE(test::SameTable(*ci, *refIndex));
    EXPECT_TRUE(test::SameTable(*cc, *refCounts));
}

}  // namespace
}  // namespace pelvanor
