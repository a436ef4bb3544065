#include "adjustment/approximate_points.h"

#include <cmath>

#include <gtest/gtest.h>

#include "orientation/collinearity.h"
#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

using test::MakeMatrix;

MatPtr IdentityOrientations() {
    return MakeMatrix({{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 10}, {1, 0, 0, 0, 1, 0, 0, 0, 1, 10, 0, 10}});
}

TEST(RayOfObservation, DirectionInvertsTheProjection) {
    auto o = MakeMatrix({{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 10}});
    auto meas = MakeMatrix({{7, 0.5L, 0}});
    MatPtr d, C;
    ASSERT_TRUE(RayOfObservation(meas.get(), o.get(), d, 0, 0, 1, C));
    EXPECT_EQ(d->GetPrvek(1, 1), 0.5L);
    EXPECT_EQ(d->GetPrvek(2, 1), 0.0L);
    EXPECT_EQ(d->GetPrvek(3, 1), -1.0L);
    EXPECT_EQ(C->GetPrvek(3, 1), 10.0L);

    // A rotated image: d must be parallel to P - C for the point that
    // projects onto (x, y), with the principal point entering as x - x0, y + y0.
    MatPtr R;
    ASSERT_TRUE(RotationMatrix(R, 0.3L, -0.2L, 1.1L));
    auto orient = NewMatrix(1, 12);
    for (int q = 1; q <= 9; ++q) orient->SetPrvek(1, q, R->GetPrvek(1, q));
    orient->SetPrvek(1, 10, 1.0L);
    orient->SetPrvek(1, 11, -2.0L);
    orient->SetPrvek(1, 12, 30.0L);
    const long double x0 = 0.02L, y0 = -0.03L, f = 1.5L;
    const long double P[3] = {3.0L, 4.0L, -1.0L};
    auto point = MakeMatrix({{P[0], P[1], P[2], 0, 0}});
    MatPtr B, l;
    ASSERT_TRUE(CollinearityRows3(*point, B, l, R->GetPrvek(1, 1), R->GetPrvek(1, 2), R->GetPrvek(1, 3),
                                  R->GetPrvek(1, 4), R->GetPrvek(1, 5), R->GetPrvek(1, 6), R->GetPrvek(1, 7),
                                  R->GetPrvek(1, 8), R->GetPrvek(1, 9), 1.0L, -2.0L, 30.0L, x0, y0, f));
    // Measured 0: the misclosure is the computed coordinate.
    auto m2 = MakeMatrix({{1, l->GetPrvek(1, 1), l->GetPrvek(2, 1)}});
    ASSERT_TRUE(RayOfObservation(m2.get(), orient.get(), d, x0, y0, f, C));
    const long double D[3] = {P[0] - 1.0L, P[1] + 2.0L, P[2] - 30.0L};
    const long double s = d->GetPrvek(1, 1) / D[0];
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(test::IsNearRel(d->GetPrvek(i + 1, 1), s * D[i], 1e-15L));
    EXPECT_GT(s, 0.0L);  // W < 0: towards the point
}

TEST(ApproximateObjectPoints, TwoRaysMeetAtThePoint) {
    auto o = IdentityOrientations();
    auto image = MakeMatrix({{7, 0.5L, 0}, {7, -0.5L, 0}});
    auto index = MakeMatrix({{7, 1, 1, 2, 2}});
    auto counts = MakeMatrix({{7, 2}});
    MatPtr result;
    ASSERT_TRUE(ApproximateObjectPoints(index.get(), counts.get(), image.get(), o.get(), 0, 0, 1, result));
    ASSERT_EQ(result->r, 1);
    ASSERT_EQ(result->s, 8);
    EXPECT_EQ(result->GetPrvek(1, 1), 7.0L);
    EXPECT_LE(std::fabs(result->GetPrvek(1, 2) - 5.0L), 1e-12L);
    EXPECT_LE(std::fabs(result->GetPrvek(1, 3) - 0.0L), 1e-12L);
    EXPECT_LE(std::fabs(result->GetPrvek(1, 4) - 0.0L), 1e-12L);
    for (int j = 5; j <= 8; ++j) EXPECT_LE(std::fabs(result->GetPrvek(1, j) - 0.0L), 1e-12L) << j;
}

// Three skew rays: the point with the least sum of squared distances to the
// lines, and m0 = sqrt(sum of squared distances / (2k - 3)).
TEST(ApproximateObjectPoints, SkewRaysGiveTheLeastSquaresPointAndItsM0) {
    auto o = MakeMatrix({{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 10},
                         {1, 0, 0, 0, 1, 0, 0, 0, 1, 10, 0, 10},
                         {1, 0, 0, 0, 1, 0, 0, 0, 1, 5, 8, 12}});
    auto image = MakeMatrix({{7, 0.51L, 0.01L}, {7, -0.5L, -0.02L}, {7, 0.0L, -0.66L}});
    auto index = MakeMatrix({{7, 1, 1, 2, 2, 3, 3}});
    auto counts = MakeMatrix({{7, 3}});
    MatPtr result;
    ASSERT_TRUE(ApproximateObjectPoints(index.get(), counts.get(), image.get(), o.get(), 0, 0, 1, result));

    // Independent solution: sum (I - e e^T) P = sum (I - e e^T) C over the unit directions e.
    long double M[3][3] = {}, rhs[3] = {};
    long double C[3][3], E[3][3];
    for (int t = 0; t < 3; ++t) {
        const long double x = image->GetPrvek(t + 1, 2), y = image->GetPrvek(t + 1, 3);
        const long double d[3] = {x, y, -1.0L};
        const long double n = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        for (int i = 0; i < 3; ++i) {
            E[t][i] = d[i] / n;
            C[t][i] = o->GetPrvek(t + 1, 10 + i);
        }
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) {
                const long double p = (i == j ? 1.0L : 0.0L) - E[t][i] * E[t][j];
                M[i][j] += p;
                rhs[i] += p * C[t][j];
            }
    }
    // Cramer's rule.
    auto det = [](long double a[3][3]) {
        return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) - a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
               a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
    };
    const long double D = det(M);
    long double P[3];
    for (int k = 0; k < 3; ++k) {
        long double Mk[3][3];
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) Mk[i][j] = j == k ? rhs[i] : M[i][j];
        P[k] = det(Mk) / D;
    }
    long double ss = 0.0L;
    for (int t = 0; t < 3; ++t) {
        long double w[3], along = 0.0L;
        for (int i = 0; i < 3; ++i) w[i] = P[i] - C[t][i];
        for (int i = 0; i < 3; ++i) along += w[i] * E[t][i];
        for (int i = 0; i < 3; ++i) ss += (w[i] - along * E[t][i]) * (w[i] - along * E[t][i]);
    }
    for (int k = 0; k < 3; ++k) EXPECT_TRUE(test::IsNearRel(result->GetPrvek(1, 2 + k), P[k], 1e-12L)) << k;
    EXPECT_TRUE(test::IsNearRel(result->GetPrvek(1, 5), std::sqrt(ss / 3.0L), 1e-9L));
    EXPECT_GT(result->GetPrvek(1, 6), 0.0L);
}

TEST(ApproximateObjectPoints, PrincipalPointShiftOfYIsCompensatedByTheMeasurements) {
    auto o = MakeMatrix({{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 10},
                         {1, 0, 0, 0, 1, 0, 0, 0, 1, 10, 0, 10},
                         {1, 0, 0, 0, 1, 0, 0, 0, 1, 5, 8, 12}});
    auto index = MakeMatrix({{7, 1, 1, 2, 2, 3, 3}});
    auto counts = MakeMatrix({{7, 3}});
    const long double delta = 0.125L;
    auto image = MakeMatrix({{7, 0.51L, 0.01L}, {7, -0.5L, -0.02L}, {7, 0.0L, -0.66L}});
    auto shifted = MakeMatrix({{7, 0.51L, 0.01L - delta}, {7, -0.5L, -0.02L - delta}, {7, 0.0L, -0.66L - delta}});
    MatPtr a, b;
    ASSERT_TRUE(ApproximateObjectPoints(index.get(), counts.get(), image.get(), o.get(), 0, 0, 1, a));
    ASSERT_TRUE(ApproximateObjectPoints(index.get(), counts.get(), shifted.get(), o.get(), 0, delta, 1, b));
    EXPECT_TRUE(test::ArraysNearRel({a->Row(1), 8}, {b->Row(1), 8}, 1e-12L));
    // A shift of x0 alone moves the point.
    ASSERT_TRUE(ApproximateObjectPoints(index.get(), counts.get(), image.get(), o.get(), 0.1L, 0, 1, b));
    EXPECT_GT(std::fabs(a->GetPrvek(1, 2) - b->GetPrvek(1, 2)), 0.1L);
}

TEST(ApproximateObjectPoints, SkippedRowsLeaveZeroRowsAtTheEnd) {
    auto o = IdentityOrientations();
    auto image = MakeMatrix({{5, 0.1L, 0}, {7, 0.5L, 0}, {7, -0.5L, 0}});
    auto index = MakeMatrix({{5, 1, 1, 0, 0}, {7, 2, 1, 3, 2}, {9, 0, 0, 0, 0}});
    auto counts = MakeMatrix({{5, 1}, {7, 2}, {9, 0}});
    MatPtr result;
    ASSERT_TRUE(ApproximateObjectPoints(index.get(), counts.get(), image.get(), o.get(), 0, 0, 1, result));
    ASSERT_EQ(result->r, 3);
    EXPECT_EQ(result->GetPrvek(1, 1), 7.0L);
    EXPECT_LE(std::fabs(result->GetPrvek(1, 2) - 5.0L), 1e-12L);
    for (int i = 2; i <= 3; ++i)
        for (int j = 1; j <= 8; ++j) EXPECT_EQ(result->GetPrvek(i, j), 0.0L);
}

TEST(ApproximateObjectPoints, EmptyTableSucceedsAndBadReferencesFail) {
    auto o = IdentityOrientations();
    auto image = MakeMatrix({{7, 0.5L, 0}, {7, -0.5L, 0}});
    auto empty = NewMatrix(1, 1);
    MatPtr result;
    ASSERT_TRUE(ApproximateObjectPoints(empty.get(), empty.get(), image.get(), o.get(), 0, 0, 1, result));
    EXPECT_EQ(result->r, 1);
    EXPECT_EQ(result->s, 8);
    EXPECT_EQ(result->GetPrvek(1, 1), 0.0L);

    auto counts = MakeMatrix({{7, 2}});
    auto badRow = MakeMatrix({{7, 1, 1, 3, 2}});
    EXPECT_FALSE(ApproximateObjectPoints(badRow.get(), counts.get(), image.get(), o.get(), 0, 0, 1, result));
    auto badImage = MakeMatrix({{7, 1, 1, 2, 3}});
    EXPECT_FALSE(ApproximateObjectPoints(badImage.get(), counts.get(), image.get(), o.get(), 0, 0, 1, result));
    EXPECT_FALSE(ApproximateObjectPoints(nullptr, counts.get(), image.get(), o.get(), 0, 0, 1, result));
    // Coincident rays through one centre: the same ray twice, W = 0 never
    // reached, the pseudo-inverse still answers.
    auto same = MakeMatrix({{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 10}, {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 10}});
    auto parallel = MakeMatrix({{7, 0.5L, 0}, {7, 0.5L, 0}});
    auto index = MakeMatrix({{7, 1, 1, 2, 2}});
    EXPECT_TRUE(ApproximateObjectPoints(index.get(), counts.get(), parallel.get(), same.get(), 0, 0, 1, result));
}

}  // namespace
}  // namespace pelvanor
