#include "orientation/observation_assembly.h"

#include <cstdint>
#include <map>
#include <vector>

#include <gtest/gtest.h>

#include "matrix/arithmetic.h"
#include "tests/support/test_util.h"
#include "tools/synth/synth.h"

namespace pelvanor {
namespace {

using test::MakeMatrix;

void ExpectTable(const Matice* m, std::initializer_list<std::initializer_list<long double>> rows) {
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(m->r, rows.size());
    int i = 1;
    for (const auto& row : rows) {
        ASSERT_EQ(m->s, row.size()) << "row " << i;
        int j = 1;
        for (long double v : row) {
            EXPECT_EQ(m->GetPrvek(i, j), v) << "(" << i << ", " << j << ")";
            ++j;
        }
        ++i;
    }
}

// Two images: points 5, 7, 9 on image 1 and 7, 9, 11 on image 2.
struct TwoImages {
    MatPtr image = MakeMatrix({{5, 0.1L, 0.2L}, {7, 0.3L, 0.4L}, {9, 0.5L, 0.6L},
                               {7, 1.1L, 1.2L}, {9, 1.3L, 1.4L}, {11, 1.5L, 1.6L}});
    MatPtr control = MakeMatrix({{5, 1, 2, 3, 0.1L, 0.2L}, {7, 4, 5, 6, 0.3L, 0.4L},
                                 {9, 7, 8, 9, 0.5L, 0.6L}, {7, 4, 5, 6, 1.1L, 1.2L},
                                 {9, 7, 8, 9, 1.3L, 1.4L}, {11, 1, 1, 1, 1.5L, 1.6L}});
    MatPtr counts = MakeMatrix({{3}, {3}});
    MatPtr ranges = MakeMatrix({{1, 3}, {4, 6}});
};

TEST(ObservationAssembly, TwoImageTiePoints) {
    TwoImages d;
    MatPtr list, counts, index;
    ASSERT_TRUE(DistinctPoints(d.image.get(), d.ranges.get(), d.counts.get(), list));
    ExpectTable(list.get(), {{5}, {7}, {9}, {11}});
    ASSERT_TRUE(TiePointIndex(d.image.get(), d.counts.get(), list.get(), counts, index));
    ExpectTable(counts.get(), {{7, 2}, {9, 2}});
    ExpectTable(index.get(), {{7, 2, 1, 4, 2}, {9, 3, 1, 5, 2}});
}

TEST(ObservationAssembly, TwoImageControlPoints) {
    TwoImages d;
    MatPtr list, counts, index;
    ASSERT_TRUE(DistinctPoints(d.control.get(), d.ranges.get(), d.counts.get(), list));
    ASSERT_TRUE(ControlPointIndex(d.control.get(), d.counts.get(), list.get(), counts, index));
    ExpectTable(counts.get(), {{5, 1}, {7, 2}, {9, 2}, {11, 1}});
    ExpectTable(index.get(), {{7, 2, -1, 4, -2}, {9, 3, -1, 5, -2}});
}

TEST(ObservationAssembly, NoPointOnTwoImagesGivesEmptyTables) {
    MatPtr table = MakeMatrix({{1, 0, 0}, {2, 0, 0}, {3, 0, 0}, {4, 0, 0}});
    MatPtr counts = MakeMatrix({{2}, {2}});
    MatPtr ranges = MakeMatrix({{1, 2}, {3, 4}});
    MatPtr list, countsTable, index;
    ASSERT_TRUE(DistinctPoints(table.get(), ranges.get(), counts.get(), list));
    ASSERT_TRUE(TiePointIndex(table.get(), counts.get(), list.get(), countsTable, index));
    ExpectTable(countsTable.get(), {{0}});
    ExpectTable(index.get(), {{0}});
}

TEST(ObservationAssembly, NonPositiveNumbersAreNeverListed) {
    MatPtr table = MakeMatrix({{0, 0, 0}, {-3, 0, 0}, {4, 0, 0}, {4.4L, 0, 0}, {0.4L, 0, 0}});
    MatPtr counts = MakeMatrix({{5}});
    MatPtr ranges = MakeMatrix({{1, 5}});
    MatPtr list;
    ASSERT_TRUE(DistinctPoints(table.get(), ranges.get(), counts.get(), list));
    ExpectTable(list.get(), {{4}});

    MatPtr none = MakeMatrix({{0, 0, 0}, {-1, 0, 0}});
    MatPtr counts2 = MakeMatrix({{2}});
    MatPtr ranges2 = MakeMatrix({{1, 2}});
    ASSERT_TRUE(DistinctPoints(none.get(), ranges2.get(), counts2.get(), list));
    ExpectTable(list.get(), {{0}});
}

TEST(ObservationAssembly, DistinctPointsReadsOnlyTheRowsOfTheImages) {
    // The ranges end at row 2: row 3 is not part of any image.
    MatPtr table = MakeMatrix({{1, 0, 0}, {2, 0, 0}, {3, 0, 0}});
    MatPtr counts = MakeMatrix({{2}});
    MatPtr ranges = MakeMatrix({{1, 2}});
    MatPtr list;
    ASSERT_TRUE(DistinctPoints(table.get(), ranges.get(), counts.get(), list));
    ExpectTable(list.get(), {{1}, {2}});
    // Ranges beyond the table are refused, not read.
    MatPtr tooFar = MakeMatrix({{1, 5}});
    EXPECT_FALSE(DistinctPoints(table.get(), tooFar.get(), counts.get(), list));
}

TEST(ObservationAssembly, ImageOfRow) {
    MatPtr counts = MakeMatrix({{3}, {2}, {4}});
    std::int32_t image = -1;
    const std::pair<long double, std::int32_t> cases[] = {
        {1, 1}, {3, 1}, {4, 2}, {5, 2}, {6, 3}, {9, 3}, {0, 0}, {10, 0}, {3.5L, 2}};
    for (auto [row, expected] : cases) {
        ASSERT_TRUE(ImageOfRow(counts.get(), image, row));
        EXPECT_EQ(image, expected) << static_cast<double>(row);
    }
    MatPtr single = MakeMatrix({{4}});
    for (int row = 1; row <= 4; ++row) {
        ASSERT_TRUE(ImageOfRow(single.get(), image, row));
        EXPECT_EQ(image, 1);
    }
    EXPECT_FALSE(ImageOfRow(nullptr, image, 1));
    EXPECT_EQ(image, 0);
}

TEST(ObservationAssembly, RowsOfPoint) {
    MatPtr table = MakeMatrix({{1}, {7}, {3}, {7.2L}, {7}});
    MatPtr rows;
    ASSERT_TRUE(RowsOfPoint(7, table.get(), rows, 4));
    ExpectTable(rows.get(), {{2}, {4}, {5}, {0}});
    // More occurrences than places: refused, no measurement is dropped quietly.
    EXPECT_FALSE(RowsOfPoint(7, table.get(), rows, 2));
    EXPECT_FALSE(RowsOfPoint(7, nullptr, rows, 2));
}

TEST(ObservationAssembly, RepeatedNumberInOneBlockIsTwoMeasurements) {
    MatPtr table = MakeMatrix({{7, 0, 0}, {7, 0, 0}, {8, 0, 0}, {9, 0, 0}});
    MatPtr counts = MakeMatrix({{2}, {2}});
    MatPtr ranges = MakeMatrix({{1, 2}, {3, 4}});
    MatPtr list, countsTable, index;
    ASSERT_TRUE(DistinctPoints(table.get(), ranges.get(), counts.get(), list));
    ASSERT_TRUE(TiePointIndex(table.get(), counts.get(), list.get(), countsTable, index));
    ExpectTable(countsTable.get(), {{7, 2}});
    ExpectTable(index.get(), {{7, 1, 1, 2, 1}});

    // Three measurements of one number with two images exceed the index table.
    MatPtr crowded = MakeMatrix({{7, 0, 0}, {7, 0, 0}, {7, 0, 0}, {9, 0, 0}});
    EXPECT_FALSE(TiePointIndex(crowded.get(), counts.get(), list.get(), countsTable, index));
}

TEST(ObservationAssembly, SelectionKeepsBlockOrder) {
    // Image 1 holds points 1, 2, 3, 4, 9; image 2 holds 5, 6, 7, 8.
    MatPtr table = MakeMatrix({{1, 1, 0, 0, 0, 0}, {2, 2, 0, 0, 0, 0}, {3, 3, 0, 0, 0, 0},
                               {4, 4, 0, 0, 0, 0}, {9, 9, 0, 0, 0, 0}, {5, 5, 0, 0, 0, 0},
                               {6, 6, 0, 0, 0, 0}, {7, 7, 0, 0, 0, 0}, {8, 8, 0, 0, 0, 0}});
    MatPtr counts = MakeMatrix({{5}, {4}});
    MatPtr ranges = MakeMatrix({{1, 5}, {6, 9}});
    MatPtr selection = MakeMatrix({{4}, {2}, {9}, {1}, {8}, {7}, {6}, {5}});
    MatPtr selected;
    ASSERT_TRUE(SelectedControlRows(selection.get(), table.get(), counts.get(), ranges.get(),
                                    selected));
    ExpectTable(selected.get(), {{1, 1, 0, 0, 0, 0}, {2, 2, 0, 0, 0, 0}, {4, 4, 0, 0, 0, 0},
                                 {9, 9, 0, 0, 0, 0}, {5, 5, 0, 0, 0, 0}, {6, 6, 0, 0, 0, 0},
                                 {7, 7, 0, 0, 0, 0}, {8, 8, 0, 0, 0, 0}});

    // A number named twice, or missing from the block, would break the
    // four-rows-per-image layout: refused.
    MatPtr twice = MakeMatrix({{4}, {4}, {9}, {1}, {8}, {7}, {6}, {5}});
    EXPECT_FALSE(SelectedControlRows(twice.get(), table.get(), counts.get(), ranges.get(),
                                     selected));
    MatPtr missing = MakeMatrix({{4}, {2}, {9}, {1}, {8}, {7}, {6}, {3}});
    EXPECT_FALSE(SelectedControlRows(missing.get(), table.get(), counts.get(), ranges.get(),
                                     selected));
    // A selected number standing twice in its block would copy five rows.
    MatPtr doubled = MakeMatrix({{1, 1, 0, 0, 0, 0}, {2, 2, 0, 0, 0, 0}, {4, 3, 0, 0, 0, 0},
                                 {4, 4, 0, 0, 0, 0}, {9, 9, 0, 0, 0, 0}, {5, 5, 0, 0, 0, 0},
                                 {6, 6, 0, 0, 0, 0}, {7, 7, 0, 0, 0, 0}, {8, 8, 0, 0, 0, 0}});
    EXPECT_FALSE(SelectedControlRows(selection.get(), doubled.get(), counts.get(), ranges.get(),
                                     selected));
    MatPtr shortSelection = MakeMatrix({{4}, {2}, {9}, {1}});
    EXPECT_FALSE(SelectedControlRows(shortSelection.get(), table.get(), counts.get(),
                                     ranges.get(), selected));
}

// The operations as the straightforward searches make them: every point
// number looked up by FindRow in the list built so far, every point's rows
// by RowsOfPoint and every row's image by ImageOfRow.
MatPtr ScannedDistinctPoints(const Matice& table, const Matice& ranges) {
    const std::int32_t last = RoundId(ranges.GetPrvek(ranges.r, 2));
    MatPtr list = NewMatrix(static_cast<std::uint16_t>(last), 1);
    int next = 0;
    for (int i = 1; i <= last; ++i) {
        const auto p = RoundId(table.GetPrvek(i, 1));
        std::int32_t row = 0;
        EXPECT_TRUE(FindRow(p, list.get(), row));
        if (row == 0) list->SetPrvek(++next, 1, p);
    }
    CompactRows(list);
    return list;
}

void ScannedIndex(const Matice& table, const Matice& rowCounts, const Matice& list, bool control,
                  MatPtr& countsTable, MatPtr& indexTable) {
    const int n = rowCounts.r;
    countsTable = NewMatrix(list.r, 2);
    indexTable = NewMatrix(list.r, static_cast<std::uint16_t>(2 * n + 1));
    int b = 0;
    for (int k = 1; k <= list.r; ++k) {
        const auto p = RoundId(list.GetPrvek(k, 1));
        MatPtr rows;
        ASSERT_TRUE(RowsOfPoint(p, &table, rows, n));
        CompactRows(rows);
        int c = 0;
        while (c < rows->r && rows->GetPrvek(c + 1, 1) > 0) ++c;
        if (c >= 2 || control) {
            countsTable->SetPrvek(k, 1, p);
            countsTable->SetPrvek(k, 2, c);
        }
        if (c < 2) continue;
        ++b;
        indexTable->SetPrvek(b, 1, p);
        for (int t = 1; t <= c; ++t) {
            std::int32_t image = 0;
            ASSERT_TRUE(ImageOfRow(&rowCounts, image, rows->GetPrvek(t, 1)));
            indexTable->SetPrvek(b, 2 * t, rows->GetPrvek(t, 1));
            indexTable->SetPrvek(b, 2 * t + 1, control ? -image : image);
        }
    }
    CompactRows(countsTable);
    CompactRows(indexTable);
}

// A generated project with its rows shuffled within every image, its point
// numbers permuted, some of them written with fractions that round to them,
// some points measured twice on one image, and rows numbered 0 and -5: the
// one-pass index gives what the searches give.
TEST(ObservationAssembly, IndexedAssemblyGivesWhatTheSearchesGive) {
    synth::Options o;
    o.images = 5;
    o.control = 9;
    o.points = 150;
    o.seed = 4;
    synth::Project project;
    ASSERT_TRUE(synth::Generate(o, project));
    std::uint32_t state = 99;
    const auto next = [&](std::uint32_t bound) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % bound;
    };
    using Block = std::vector<std::vector<long double>>;
    std::map<long long, int> seen;
    for (const auto& img : project.images)
        for (const auto& ob : img.points) ++seen[ob.id];
    const auto number = [](long long id) { return static_cast<long double>((id * 7919) % 10007); };
    for (const bool control : {false, true}) {
        std::vector<Block> blocks;
        for (std::size_t i = 0; i < project.images.size(); ++i) {
            const auto& obs = control ? project.images[i].control : project.images[i].points;
            Block block;
            for (const auto& ob : obs) {
                std::vector<long double> row{number(ob.id), ob.x_raw, ob.y_raw};
                if (control) row = {number(ob.id), 1, 2, 3, ob.x_raw, ob.y_raw};
                if (i == 1 && ob.id % 3 == 0) row[0] += 0.3L;
                if (i == 2 && ob.id % 3 == 1) row[0] -= 0.4L;
                block.push_back(row);
                if (!control && i == 3 && ob.id % 5 == 0 && seen[ob.id] < o.images) block.push_back(row);
            }
            if (i == 2) {
                block.push_back(std::vector<long double>(block.front().size(), 0.0L));
                block.push_back(block.front());
                block.back()[0] = -5.0L;
            }
            for (std::size_t k = block.size(); k > 1; --k) std::swap(block[k - 1], block[next(static_cast<std::uint32_t>(k))]);
            blocks.push_back(std::move(block));
        }
        std::size_t total = 0;
        for (const auto& block : blocks) total += block.size();
        const auto cols = static_cast<std::uint16_t>(blocks[0][0].size());
        auto table = NewMatrix(static_cast<std::uint16_t>(total), cols);
        auto counts = NewMatrix(static_cast<std::uint16_t>(blocks.size()), 1);
        auto ranges = NewMatrix(static_cast<std::uint16_t>(blocks.size()), 2);
        int row = 0;
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            const int image = static_cast<int>(i) + 1;
            counts->SetPrvek(image, 1, static_cast<long double>(blocks[i].size()));
            ranges->SetPrvek(image, 1, row + 1);
            for (const auto& r : blocks[i]) {
                ++row;
                for (int j = 1; j <= cols; ++j) table->SetPrvek(row, j, r[static_cast<std::size_t>(j - 1)]);
            }
            ranges->SetPrvek(image, 2, row);
        }

        MatPtr list, countsTable, index, refCounts, refIndex;
        ASSERT_TRUE(DistinctPoints(table.get(), ranges.get(), counts.get(), list));
        const MatPtr refList = ScannedDistinctPoints(*table, *ranges);
        EXPECT_TRUE(test::SameTable(*list, *refList)) << control;
        ASSERT_TRUE(control ? ControlPointIndex(table.get(), counts.get(), list.get(), countsTable, index)
                            : TiePointIndex(table.get(), counts.get(), list.get(), countsTable, index));
        ScannedIndex(*table, *counts, *refList, control, refCounts, refIndex);
        EXPECT_TRUE(test::SameTable(*countsTable, *refCounts)) << control;
        EXPECT_TRUE(test::SameTable(*index, *refIndex)) << control;
        EXPECT_GT(index->r, control ? 4 : 100);
    }
}

TEST(ObservationAssembly, MissingInputFails) {
    TwoImages d;
    MatPtr a, b;
    EXPECT_FALSE(DistinctPoints(nullptr, d.ranges.get(), d.counts.get(), a));
    EXPECT_FALSE(TiePointIndex(d.image.get(), nullptr, d.image.get(), a, b));
    EXPECT_FALSE(ControlPointIndex(d.control.get(), d.counts.get(), nullptr, a, b));
    EXPECT_FALSE(SelectedControlRows(nullptr, d.control.get(), d.counts.get(), d.ranges.get(), a));
}

}  // namespace
}  // namespace pelvanor
