#include "matrix/arithmetic.h"

#include <cfenv>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "matrix/fp_guard.h"
#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

using test::MakeMatrix;

void ExpectMatrixEq(const Matice& got, std::initializer_list<std::initializer_list<long double>> rows) {
    auto want = MakeMatrix(rows);
    ASSERT_EQ(got.r, want->r);
    ASSERT_EQ(got.s, want->s);
    for (int i = 1; i <= got.r; ++i)
        for (int j = 1; j <= got.s; ++j)
            EXPECT_EQ(got.GetPrvek(i, j), want->GetPrvek(i, j)) << "(" << i << "," << j << ")";
}

TEST(Arithmetic, ElementwiseOperations) {
    auto A = MakeMatrix({{1, -2, 3}, {4.5L, 0, -6}});
    auto B = MakeMatrix({{10, 20, 30}, {40, 50, 60}});
    ExpectMatrixEq(*MatCopy(*A), {{1, -2, 3}, {4.5L, 0, -6}});
    ExpectMatrixEq(*MatScale(*A, -2), {{-2, 4, -6}, {-9, -0.0L, 12}});
    ExpectMatrixEq(*MatTranspose(*A), {{1, 4.5L}, {-2, 0}, {3, -6}});
    ExpectMatrixEq(*MatAdd(*A, *B), {{11, 18, 33}, {44.5L, 50, 54}});
    // Operands are left alone.
    ExpectMatrixEq(*A, {{1, -2, 3}, {4.5L, 0, -6}});

    auto empty = NewMatrix(0, 4);
    auto t = MatTranspose(*empty);
    EXPECT_EQ(t->r, 4);
    EXPECT_EQ(t->s, 0);
    // Different sizes are an error of the computation, not a silent read past B.
    EXPECT_FALSE(GuardedComputation([&] { return MatAdd(*A, *MatTranspose(*B)) != nullptr; }));
}

TEST(Arithmetic, MatMulSizesAndValues) {
    auto A = MakeMatrix({{1, 2, 3}, {4, 5, 6}});
    auto B = MakeMatrix({{7, 8}, {9, 10}, {11, 12}});
    ExpectMatrixEq(*MatMul(*A, *B), {{58, 64}, {139, 154}});
    EXPECT_EQ(MatMul(*A, *A), nullptr);  // 2 x 3 by 2 x 3
    auto zeroInner = MatMul(*NewMatrix(3, 0), *NewMatrix(0, 2));
    ASSERT_NE(zeroInner, nullptr);
    ExpectMatrixEq(*zeroInner, {{0, 0}, {0, 0}, {0, 0}});
    // Odd column counts take the single-column tail of the kernel.
    auto C = MakeMatrix({{1, 2, 3}, {4, 5, 6}, {7, 8, 10}});
    ExpectMatrixEq(*MatMul(*C, *C), {{30, 36, 45}, {66, 81, 102}, {109, 134, 169}});
}

TEST(Arithmetic, MatMulSumsInIncreasingIndexOrder) {
    // 1 + 2^-64 + (-1): summed from k = 1 upwards the tiny term is absorbed
    // by the 1 and lost (sum 0); any other order keeps it.
    const long double tiny = std::ldexp(1.0L, -64);
    auto A = MakeMatrix({{1, 1, 1}});
    auto B = MakeMatrix({{1}, {tiny}, {-1}});
    EXPECT_EQ(MatMul(*A, *B)->GetPrvek(1, 1), 0.0L);
    auto B2 = MakeMatrix({{1}, {-1}, {tiny}});
    EXPECT_EQ(MatMul(*A, *B2)->GetPrvek(1, 1), tiny);
    // The sum starts at +0: a single -0 product gives +0.
    auto Z = MatMul(*MakeMatrix({{-0.0L}}), *MakeMatrix({{1}}));
    EXPECT_FALSE(std::signbit(Z->GetPrvek(1, 1)));
}

TEST(Arithmetic, RoundIdTiesToEvenAndKeepsEveryDigit) {
    EXPECT_EQ(RoundId(2.5L), 2);
    EXPECT_EQ(RoundId(3.5L), 4);
    EXPECT_EQ(RoundId(-2.5L), -2);
    EXPECT_EQ(RoundId(7.0000000001L), 7);
    EXPECT_EQ(RoundId(0.5L), 0);
    // Numbers beyond 32 bits are not folded onto small ones.
    EXPECT_EQ(RoundId(4294967296.0L + 1003.0L), 4294967296LL + 1003);
    EXPECT_EQ(RoundId(2147483648.0L + 1003.0L), 2147483648LL + 1003);
    EXPECT_EQ(RoundId(1.0e15L), 1000000000000000LL);
    EXPECT_EQ(RoundId(kLargestPointNumber), std::numeric_limits<std::int64_t>::max());
}

TEST(Arithmetic, FindRowTakesLastMatch) {
    auto M = MakeMatrix({{7, 1}, {3, 2}, {7.0000000001L, 3}});
    std::int32_t row = -1;
    EXPECT_TRUE(FindRow(7, M.get(), row));
    EXPECT_EQ(row, 3);
    EXPECT_TRUE(FindRow(3, M.get(), row));
    EXPECT_EQ(row, 2);
    EXPECT_TRUE(FindRow(8, M.get(), row));
    EXPECT_EQ(row, 0);
    auto empty = NewMatrix(0, 4);
    row = 5;
    EXPECT_TRUE(FindRow(7, empty.get(), row));
    EXPECT_EQ(row, 0);
    row = 5;
    EXPECT_FALSE(FindRow(7, nullptr, row));
    EXPECT_EQ(row, 0);
    auto bad = MakeMatrix({{7}, {std::numeric_limits<long double>::quiet_NaN()}});
    EXPECT_FALSE(FindRow(7, bad.get(), row));
    EXPECT_EQ(row, 0);
}

TEST(Arithmetic, CopyBlockColumnsOuterAndStopsAtBounds) {
    auto src = MakeMatrix({{1, 2, 3}, {4, 5, 6}});
    auto dest = NewMatrix(3, 3);
    EXPECT_TRUE(CopyBlock(*dest, 2, 1, *src, 2, 2, 1, 3));  // one row
    ExpectMatrixEq(*dest, {{0, 0, 0}, {4, 5, 6}, {0, 0, 0}});
    EXPECT_TRUE(CopyBlock(*dest, 1, 1, *src, 2, 1, 1, 3));  // empty row range
    EXPECT_TRUE(CopyBlock(*dest, 1, 1, *src, 1, 2, 3, 1));  // empty column range
    ExpectMatrixEq(*dest, {{0, 0, 0}, {4, 5, 6}, {0, 0, 0}});

    // Block of 2 x 3 landing at (2, 2): column 1 and 2 of the source fit,
    // the third source column would land in column 4.  Column-outer order
    // means the first two columns are fully written before the failure.
    auto d2 = NewMatrix(3, 3);
    EXPECT_FALSE(CopyBlock(*d2, 2, 2, *src, 1, 2, 1, 3));
    ExpectMatrixEq(*d2, {{0, 0, 0}, {0, 1, 2}, {0, 4, 5}});
    // A source row beyond the source: row 1 of column 1 is copied, then stop.
    auto d3 = NewMatrix(3, 3);
    EXPECT_FALSE(CopyBlock(*d3, 1, 1, *src, 1, 3, 1, 2));
    ExpectMatrixEq(*d3, {{1, 0, 0}, {4, 0, 0}, {0, 0, 0}});
    auto d4 = NewMatrix(3, 3);
    EXPECT_FALSE(CopyBlock(*d4, 0, 1, *src, 1, 1, 1, 1));
    EXPECT_FALSE(CopyBlock(*d4, 1, 1, *src, 1, 1, -2147483647 - 1, 2147483647));
}

TEST(Arithmetic, CompactRowsKeepsPositiveRoundedIds) {
    MatPtr M = MakeMatrix({{0.5L, 1}, {1.5L, 2}, {-3, 3}, {2.5L, 4}, {0, 5}, {9, 6}});
    EXPECT_TRUE(CompactRows(M));
    ExpectMatrixEq(*M, {{1.5L, 2}, {2.5L, 4}, {9, 6}});

    MatPtr none = MakeMatrix({{0.5L, 1, 1}, {-3, 2, 2}});
    EXPECT_FALSE(CompactRows(none));
    ExpectMatrixEq(*none, {{0}});

    MatPtr empty = NewMatrix(0, 3);
    EXPECT_FALSE(CompactRows(empty));
    ExpectMatrixEq(*empty, {{0}});

    MatPtr null;
    EXPECT_FALSE(CompactRows(null));
}

TEST(Arithmetic, ScaleToLength) {
    MatPtr R;
    EXPECT_TRUE(ScaleToLength(*MakeMatrix({{3, 0, 4}}), R, 10));
    ExpectMatrixEq(*R, {{6, 0, 8}});

    MatPtr Z;
    EXPECT_FALSE(ScaleToLength(*MakeMatrix({{0, 0, 0}}), Z, 10));
    ASSERT_NE(Z, nullptr);
    ExpectMatrixEq(*Z, {{0, 0, 0}});  // zeros, not infinities
    // The failure does not leak into the caller's flags.
    EXPECT_EQ(std::fetestexcept(kFpFaults), 0);
}

}  // namespace
}  // namespace pelvanor

#include "matrix/parallel.h"

namespace pelvanor {
namespace {

TEST(Arithmetic, FaultInTheSecondThreadReachesTheGuard) {
    // Rows 5..8 of the product are formed by the helper thread when the loop
    // is split in two (forced, whatever the machine has); only row 8
    // overflows.
    auto A = NewMatrix(8, 4);
    auto B = NewMatrix(4, 6);
    for (auto& e : A->prvky) e = 1.0L;
    for (auto& e : B->prvky) e = 1.0L;
    A->SetPrvek(8, 1, 1e4900L);
    B->SetPrvek(1, 1, 1e4900L);
    SetMinParallelWork(0);
    SetParallelThreads(2);
    EXPECT_FALSE(GuardedComputation([&] { return MatMul(*A, *B) != nullptr; }));
    A->SetPrvek(8, 1, 1.0L);
    EXPECT_TRUE(GuardedComputation([&] { return MatMul(*A, *B) != nullptr; }));
    SetParallelThreads(0);
    SetMinParallelWork(-1);
}

}  // namespace
}  // namespace pelvanor
