#include "orientation/observation_assembly.h"

#include <gtest/gtest.h>

#include "tests/support/test_util.h"

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
    MatPtr shortSelection = MakeMatrix({{4}, {2}, {9}, {1}});
    EXPECT_FALSE(SelectedControlRows(shortSelection.get(), table.get(), counts.get(),
                                     ranges.get(), selected));
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
