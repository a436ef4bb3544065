#include "matrix/least_squares.h"

#include <cfenv>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "matrix/arithmetic.h"
#include "matrix/fp_guard.h"
#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

using test::MakeMatrix;
using test::IsNearRel;

TEST(LeastSquares, WorkedExampleTwoObservationsOneUnknown) {
    auto A = MakeMatrix({{1}, {1}});
    auto l = MakeMatrix({{1}, {3}});
    MatPtr dx;
    ASSERT_TRUE(SolveNormal(*A, *l, dx));
    ASSERT_EQ(dx->r, 1);
    ASSERT_EQ(dx->s, 1);
    EXPECT_TRUE(IsNearRel(dx->GetPrvek(1, 1), 2.0L, 1e-15L));

    MatPtr v, vtv, vtvCheck, mx;
    long double m0 = -1;
    ASSERT_TRUE(ResidualsAndAccuracy(*A, *l, *dx, v, vtv, vtvCheck, m0, mx));
    ASSERT_EQ(v->r, 2);
    EXPECT_TRUE(IsNearRel(v->GetPrvek(1, 1), 1.0L, 1e-15L));
    EXPECT_TRUE(IsNearRel(v->GetPrvek(2, 1), -1.0L, 1e-15L));
    EXPECT_TRUE(IsNearRel(vtv->GetPrvek(1, 1), 2.0L, 1e-15L));
    EXPECT_TRUE(IsNearRel(vtvCheck->GetPrvek(1, 1), 2.0L, 1e-15L));  // 10 - 8
    EXPECT_TRUE(IsNearRel(m0, std::sqrt(2.0L), 1e-15L));
    ASSERT_EQ(mx->r, 1);
    ASSERT_EQ(mx->s, 1);
    EXPECT_TRUE(IsNearRel(mx->GetPrvek(1, 1), 1.0L, 1e-15L));  // sqrt(0.5) * sqrt(2)
}

TEST(LeastSquares, LineFitAgainstClosedForm) {
    // y = a + b t fitted to 6 points; normal equations solved by hand.
    const long double t[] = {0, 1, 2, 3, 4, 5};
    const long double y[] = {1.1L, 2.9L, 5.2L, 6.8L, 9.1L, 11.0L};
    auto A = NewMatrix(6, 2);
    auto l = NewMatrix(6, 1);
    long double st = 0, stt = 0, sy = 0, sty = 0;
    for (int i = 0; i < 6; ++i) {
        A->SetPrvek(i + 1, 1, 1);
        A->SetPrvek(i + 1, 2, t[i]);
        l->SetPrvek(i + 1, 1, y[i]);
        st += t[i];
        stt += t[i] * t[i];
        sy += y[i];
        sty += t[i] * y[i];
    }
    const long double det = 6 * stt - st * st;
    const long double a = (stt * sy - st * sty) / det;
    const long double b = (6 * sty - st * sy) / det;
    MatPtr dx;
    ASSERT_TRUE(SolveNormal(*A, *l, dx));
    EXPECT_TRUE(IsNearRel(dx->GetPrvek(1, 1), a, 1e-14L));
    EXPECT_TRUE(IsNearRel(dx->GetPrvek(2, 1), b, 1e-14L));

    MatPtr v, vtv, vtvCheck, mx;
    long double m0 = 0;
    ASSERT_TRUE(ResidualsAndAccuracy(*A, *l, *dx, v, vtv, vtvCheck, m0, mx));
    long double sum = 0;
    for (int i = 0; i < 6; ++i) {
        const long double r = a + b * t[i] - y[i];
        EXPECT_TRUE(IsNearRel(v->GetPrvek(i + 1, 1), r, 1e-13L));
        sum += r * r;
    }
    EXPECT_TRUE(IsNearRel(vtv->GetPrvek(1, 1), sum, 1e-12L));
    EXPECT_TRUE(IsNearRel(vtvCheck->GetPrvek(1, 1), sum, 1e-12L));
    const long double s0 = std::sqrt(sum / 4);
    EXPECT_TRUE(IsNearRel(m0, s0, 1e-12L));
    // (A^T A)^-1 diagonal: stt / det and 6 / det.
    EXPECT_TRUE(IsNearRel(mx->GetPrvek(1, 1), s0 * std::sqrt(stt / det), 1e-12L));
    EXPECT_TRUE(IsNearRel(mx->GetPrvek(1, 2), s0 * std::sqrt(6 / det), 1e-12L));
}

TEST(LeastSquares, RankDeficientGivesMinimumNormSolution) {
    // Two equal columns: x1 + x2 = 2 is all the data says; the minimum-norm
    // solution splits it evenly.
    auto A = MakeMatrix({{1, 1}, {1, 1}, {1, 1}});
    auto l = MakeMatrix({{2}, {2}, {2}});
    MatPtr dx;
    ASSERT_TRUE(SolveNormal(*A, *l, dx));
    EXPECT_TRUE(IsNearRel(dx->GetPrvek(1, 1), 1.0L, 1e-14L));
    EXPECT_TRUE(IsNearRel(dx->GetPrvek(2, 1), 1.0L, 1e-14L));
}

TEST(LeastSquares, ExactDataHasZeroResidualsAndZeroAccuracy) {
    // Small integers keep every product and sum exact, so the residuals are
    // exactly zero and m0 is exactly 0.
    auto A = MakeMatrix({{1, 0}, {0, 1}, {1, 1}});
    auto dx = MakeMatrix({{2}, {3}});
    auto l = MatMul(*A, *dx);
    MatPtr v, vtv, vtvCheck, mx;
    long double m0 = -1;
    ASSERT_TRUE(ResidualsAndAccuracy(*A, *l, *dx, v, vtv, vtvCheck, m0, mx));
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(v->GetPrvek(i, 1), 0.0L);
    EXPECT_EQ(vtv->GetPrvek(1, 1), 0.0L);
    EXPECT_EQ(m0, 0.0L);
    EXPECT_FALSE(std::signbit(m0));
    EXPECT_EQ(mx->GetPrvek(1, 1), 0.0L);
    EXPECT_EQ(mx->GetPrvek(1, 2), 0.0L);
}

TEST(LeastSquares, ForeignCorrectionShowsInTheCheckSum) {
    auto A = MakeMatrix({{1}, {1}});
    auto l = MakeMatrix({{1}, {3}});
    auto dx = MakeMatrix({{5}});  // not the solution (2)
    MatPtr v, vtv, vtvCheck, mx;
    long double m0 = 0;
    ASSERT_TRUE(ResidualsAndAccuracy(*A, *l, *dx, v, vtv, vtvCheck, m0, mx));
    EXPECT_EQ(v->GetPrvek(1, 1), 4.0L);
    EXPECT_EQ(v->GetPrvek(2, 1), 2.0L);
    EXPECT_EQ(vtv->GetPrvek(1, 1), 20.0L);
    EXPECT_EQ(vtvCheck->GetPrvek(1, 1), -10.0L);  // 10 - 4 * 5
}

TEST(LeastSquares, FailuresAndWhatTheyLeaveBehind) {
    // Zero design matrix: no pseudo-inverse, dx the zero placeholder.
    {
        MatPtr dx = MakeMatrix({{9}});
        ASSERT_FALSE(SolveNormal(*NewMatrix(3, 2), *MakeMatrix({{1}, {2}, {3}}), dx));
        ASSERT_EQ(dx->r, 2);
        EXPECT_EQ(dx->GetPrvek(1, 1), 0.0L);
        EXPECT_EQ(dx->GetPrvek(2, 1), 0.0L);
        MatPtr v, vtv, vtvCheck, mx;
        long double m0 = -1;
        EXPECT_FALSE(ResidualsAndAccuracy(*NewMatrix(3, 2), *MakeMatrix({{1}, {2}, {3}}), *dx, v, vtv,
                                          vtvCheck, m0, mx));
        ASSERT_NE(v, nullptr);
        ASSERT_NE(vtvCheck, nullptr);
        EXPECT_TRUE(IsNearRel(m0, std::sqrt(14.0L), 1e-15L));
        ASSERT_NE(mx, nullptr);
        EXPECT_EQ(mx->s, 2);
        EXPECT_EQ(mx->GetPrvek(1, 1), 0.0L);
    }
    // As many observations as unknowns: solvable, but no accuracy (n - u = 0).
    {
        auto A = MakeMatrix({{2, 0}, {0, 4}});
        auto l = MakeMatrix({{2}, {2}});
        MatPtr dx;
        ASSERT_TRUE(SolveNormal(*A, *l, dx));
        EXPECT_TRUE(IsNearRel(dx->GetPrvek(1, 1), 1.0L, 1e-15L));
        EXPECT_TRUE(IsNearRel(dx->GetPrvek(2, 1), 0.5L, 1e-15L));
        MatPtr v, vtv, vtvCheck, mx;
        long double m0 = -7;
        EXPECT_FALSE(ResidualsAndAccuracy(*A, *l, *dx, v, vtv, vtvCheck, m0, mx));
        EXPECT_NE(v, nullptr);
        EXPECT_NE(vtv, nullptr);
        EXPECT_NE(vtvCheck, nullptr);
        EXPECT_EQ(m0, -7.0L);
        EXPECT_EQ(mx, nullptr);
    }
    // Fewer observations than unknowns with a misfit: root of a negative number.
    {
        auto A = MakeMatrix({{1, 1}});
        auto l = MakeMatrix({{2}});
        auto dx = MakeMatrix({{0}, {0}});
        MatPtr v, vtv, vtvCheck, mx;
        long double m0 = -7;
        EXPECT_FALSE(ResidualsAndAccuracy(*A, *l, *dx, v, vtv, vtvCheck, m0, mx));
        EXPECT_NE(vtvCheck, nullptr);
        EXPECT_EQ(m0, -7.0L);
        EXPECT_EQ(mx, nullptr);
    }
    // Mismatched l: false, zeros.
    {
        MatPtr dx;
        EXPECT_FALSE(SolveNormal(*MakeMatrix({{1}, {1}}), *MakeMatrix({{1}}), dx));
        ASSERT_NE(dx, nullptr);
        EXPECT_EQ(dx->GetPrvek(1, 1), 0.0L);
    }
    // Misclosure and correction without a column: no sum of squares to
    // take the unit standard deviation from.
    {
        auto A = MakeMatrix({{1}, {1}});
        MatPtr v, vtv, vtvCheck, mx;
        long double m0 = -7;
        EXPECT_FALSE(ResidualsAndAccuracy(*A, *NewMatrix(2, 0), *NewMatrix(1, 0), v, vtv, vtvCheck, m0, mx));
        EXPECT_EQ(m0, -7.0L);
        EXPECT_EQ(mx, nullptr);
    }
    // A NaN in the design matrix never turns into a result.
    {
        auto A = MakeMatrix({{1, 2}, {3, std::numeric_limits<long double>::quiet_NaN()}, {1, 1}});
        MatPtr dx;
        EXPECT_FALSE(SolveNormal(*A, *MakeMatrix({{1}, {2}, {3}}), dx));
        EXPECT_EQ(dx->GetPrvek(1, 1), 0.0L);
    }
    EXPECT_EQ(std::fetestexcept(kFpFaults), 0);
}

TEST(LeastSquares, RecoversKnownCorrectionFromNoisyObservations) {
    std::mt19937_64 gen(77);
    std::uniform_real_distribution<long double> coef(-10, 10);
    std::normal_distribution<double> noise(0.0, 1e-3);
    const int n = 60, u = 5;
    const long double truth[u] = {1.5L, -2, 0.25L, 10, -0.125L};
    auto A = NewMatrix(n, u);
    auto l = NewMatrix(n, 1);
    for (int i = 1; i <= n; ++i) {
        long double y = 0;
        for (int j = 1; j <= u; ++j) {
            A->SetPrvek(i, j, coef(gen));
            y += A->GetPrvek(i, j) * truth[j - 1];
        }
        l->SetPrvek(i, 1, y + noise(gen));
    }
    MatPtr dx;
    ASSERT_TRUE(SolveNormal(*A, *l, dx));
    MatPtr v, vtv, vtvCheck, mx;
    long double m0 = 0;
    ASSERT_TRUE(ResidualsAndAccuracy(*A, *l, *dx, v, vtv, vtvCheck, m0, mx));
    // m0 estimates the noise; every unknown lies within 5 of its sigmas.
    EXPECT_GT(m0, 0.5e-3L);
    EXPECT_LT(m0, 2e-3L);
    for (int j = 1; j <= u; ++j)
        EXPECT_LT(std::fabs(dx->GetPrvek(j, 1) - truth[j - 1]), 5 * mx->GetPrvek(1, j)) << j;
    EXPECT_TRUE(IsNearRel(vtv->GetPrvek(1, 1), vtvCheck->GetPrvek(1, 1), 1e-6L));
}

// The accuracy step given the solve's (A^T A)^+ decomposes nothing again; it
// must hand out what it computes on its own, bit for bit, also where it fails
// after the solve succeeded.
TEST(LeastSquares, HandedPseudoInverseGivesTheSameAccuracy) {
    const auto same = [](const Matice* a, const Matice* b) {
        if (a == nullptr || b == nullptr) return a == b;
        if (a->r != b->r || a->s != b->s) return false;
        for (int i = 1; i <= a->r; ++i)
            for (int j = 1; j <= a->s; ++j)
                if (std::memcmp(a->Row(i) + (j - 1), b->Row(i) + (j - 1), 10) != 0) return false;
        return true;
    };
    std::mt19937_64 gen(5);
    std::uniform_real_distribution<long double> coef(-3, 3);
    auto random = [&](int rows, int cols) {
        auto m = NewMatrix(static_cast<std::uint16_t>(rows), static_cast<std::uint16_t>(cols));
        for (int i = 1; i <= rows; ++i)
            for (int j = 1; j <= cols; ++j) m->SetPrvek(i, j, coef(gen));
        return m;
    };
    auto rankDeficient = random(9, 4);
    for (int i = 1; i <= 9; ++i) rankDeficient->SetPrvek(i, 4, 2 * rankDeficient->GetPrvek(i, 2));
    struct Case {
        MatPtr A, l;
    };
    std::vector<Case> cases;
    cases.push_back({random(30, 7), random(30, 1)});
    cases.push_back({std::move(rankDeficient), random(9, 1)});
    cases.push_back({random(3, 3), random(3, 1)});        // n = u: the accuracy fails
    cases.push_back({NewMatrix(3, 2), random(3, 1)});     // no pseudo-inverse
    cases.push_back({random(4, 2), random(3, 1)});        // l does not fit
    for (std::size_t k = 0; k < cases.size(); ++k) {
        const Matice& A = *cases[k].A;
        const Matice& l = *cases[k].l;
        MatPtr dx1, v1, vtv1, check1, mx1, dx2, v2, vtv2, check2, mx2;
        long double m01 = -1, m02 = -1;
        bool ok1 = SolveNormal(A, l, dx1);
        if (ok1) ok1 = ResidualsAndAccuracy(A, l, *dx1, v1, vtv1, check1, m01, mx1);
        MatPtr Q;
        bool ok2 = SolveNormal(A, l, dx2, &Q);
        if (ok2) ok2 = ResidualsAndAccuracy(A, l, *dx2, v2, vtv2, check2, m02, mx2, Q.get());
        EXPECT_EQ(ok1, ok2) << k;
        EXPECT_TRUE(same(dx1.get(), dx2.get())) << k;
        EXPECT_TRUE(same(v1.get(), v2.get())) << k;
        EXPECT_TRUE(same(vtv1.get(), vtv2.get())) << k;
        EXPECT_TRUE(same(check1.get(), check2.get())) << k;
        EXPECT_TRUE(same(mx1.get(), mx2.get())) << k;
        EXPECT_EQ(std::memcmp(&m01, &m02, 10), 0) << k;
    }
    EXPECT_EQ(std::fetestexcept(kFpFaults), 0);
}

}  // namespace
}  // namespace pelvanor
