#include "matrix/svd.h"

#include <algorithm>
#include <cstring>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "matrix/arithmetic.h"
#include "matrix/fp_guard.h"
#include "matrix/parallel.h"
#include "tests/matrix/svd_reference.h"
#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

using test::MakeMatrix;

// EXPECT_NEAR in extended precision (gtest's compares doubles).
#define EXPECT_NEAR_LD(a, b, tol) EXPECT_LE(std::fabs((a) - (b)), (tol)) << (a) << " vs " << (b)

constexpr long double kEps = std::numeric_limits<long double>::epsilon();  // 2^-63
// The Householder scalars g pass through double precision (TransferSign), so
// the reflections, and with them U and V, are orthogonal only to about double
// rounding.  The decomposition itself (U diag(w) V^T = A) holds to extended
// rounding.
constexpr long double kEpsDouble = std::numeric_limits<double>::epsilon();  // 2^-52

MatPtr RandomMatrix(int rows, int cols, std::uint64_t seed, long double lo = -1.0L, long double hi = 1.0L) {
    std::mt19937_64 gen(seed);
    std::uniform_real_distribution<long double> dist(lo, hi);
    auto M = NewMatrix(static_cast<std::uint16_t>(rows), static_cast<std::uint16_t>(cols));
    for (auto& e : M->prvky) e = dist(gen);
    return M;
}

long double MaxAbs(const Matice& M) {
    long double m = 0.0L;
    for (long double e : M.prvky) m = std::max(m, std::fabs(e));
    return m;
}

// Largest |X - Y| over all elements (the sizes must agree).
long double MaxDiff(const Matice& X, const Matice& Y) {
    EXPECT_EQ(X.r, Y.r);
    EXPECT_EQ(X.s, Y.s);
    long double d = 0.0L;
    for (std::size_t e = 0; e < X.prvky.size() && e < Y.prvky.size(); ++e)
        d = std::max(d, std::fabs(X.prvky[e] - Y.prvky[e]));
    return d;
}

MatPtr Identity(int n) {
    auto I = NewMatrix(static_cast<std::uint16_t>(n), static_cast<std::uint16_t>(n));
    for (int i = 1; i <= n; ++i) I->SetPrvek(i, i, 1.0L);
    return I;
}

// Checks the decomposition of A: U diag(w) V^T = A to extended rounding,
// V orthogonal, every w >= 0, and for m >= n orthonormal columns of U.
void CheckDecomposition(const Matice& A, const char* what) {
    SCOPED_TRACE(what);
    MatPtr U = MatCopy(A);
    MatPtr w, v;
    ASSERT_TRUE(GuardedComputation([&] {
        Svdcmp(*U, w, v);
        return true;
    }));
    const int m = A.r, n = A.s;
    ASSERT_EQ(w->r, n);
    ASSERT_EQ(w->s, 1);
    ASSERT_EQ(v->r, n);
    ASSERT_EQ(v->s, n);
    for (int i = 1; i <= n; ++i) EXPECT_GE(w->GetPrvek(i, 1), 0.0L);

    auto UW = MatCopy(*U);
    for (int i = 1; i <= m; ++i)
        for (int j = 1; j <= n; ++j) UW->SetPrvek(i, j, U->GetPrvek(i, j) * w->GetPrvek(j, 1));
    auto back = MatMul(*UW, *MatTranspose(*v));
    const long double size = static_cast<long double>(std::max(m, n));
    EXPECT_LE(MaxDiff(*back, A), 64.0L * size * kEps * std::max(MaxAbs(A), std::numeric_limits<long double>::min()))
        << "reconstruction";
    EXPECT_LE(MaxDiff(*MatMul(*MatTranspose(*v), *v), *Identity(n)), 4.0L * size * kEpsDouble) << "V^T V";
    EXPECT_LE(MaxDiff(*MatMul(*v, *MatTranspose(*v)), *Identity(n)), 4.0L * size * kEpsDouble) << "V V^T";
    if (m >= n) {
        // Columns of U for a zero singular value may be zero; all others are
        // orthonormal.
        auto UtU = MatMul(*MatTranspose(*U), *U);
        for (int i = 1; i <= n; ++i)
            for (int j = 1; j <= n; ++j) {
                if (w->GetPrvek(i, 1) == 0.0L || w->GetPrvek(j, 1) == 0.0L) continue;
                EXPECT_NEAR_LD(UtU->GetPrvek(i, j), i == j ? 1.0L : 0.0L, 4.0L * size * kEpsDouble);
            }
    }
}

TEST(Svd, SmallHelpers) {
    EXPECT_EQ(Pythag(0, 0), 0.0L);
    EXPECT_EQ(Pythag(3, -4), 5.0L);
    EXPECT_EQ(Pythag(-4, 3), 5.0L);
    EXPECT_EQ(TransferSign(5, 0), 5.0L);
    EXPECT_EQ(TransferSign(5, -0.0), 5.0L);
    EXPECT_EQ(TransferSign(-5, -0.1), -5.0L);
    EXPECT_EQ(TransferSign(-5, 2), 5.0L);
    EXPECT_EQ(MaxOf(1, 2), 2.0L);
    EXPECT_EQ(MaxOf(3, 2), 3.0L);
    // Arguments pass through double: 1 + 2^-60 is not a double.
    const long double fine = 1.0L + std::ldexp(1.0L, -60);
    EXPECT_EQ(TransferSign(static_cast<double>(fine), 1), 1.0L);
    EXPECT_EQ(MaxOf(static_cast<double>(fine), 0), 1.0L);
}

TEST(Svd, DecompositionPropertiesOnManyShapes) {
    CheckDecomposition(*RandomMatrix(7, 4, 1), "7 x 4");
    CheckDecomposition(*RandomMatrix(4, 7, 2), "4 x 7");
    CheckDecomposition(*RandomMatrix(6, 6, 3), "6 x 6");
    CheckDecomposition(*RandomMatrix(40, 25, 4), "40 x 25");
    CheckDecomposition(*RandomMatrix(25, 40, 5), "25 x 40");
    CheckDecomposition(*RandomMatrix(33, 33, 6), "33 x 33");
    CheckDecomposition(*MakeMatrix({{-2.5L}}), "1 x 1");
    CheckDecomposition(*RandomMatrix(5, 1, 7), "5 x 1");
    CheckDecomposition(*RandomMatrix(1, 5, 8), "1 x 5");
    CheckDecomposition(*NewMatrix(4, 3), "zero 4 x 3");

    // Rank 2 in a 6 x 5: the product of 6 x 2 and 2 x 5 factors.
    auto lowRank = MatMul(*RandomMatrix(6, 2, 9), *RandomMatrix(2, 5, 10));
    CheckDecomposition(*lowRank, "rank 2");
    // Two equal columns.
    auto twin = RandomMatrix(8, 4, 11);
    for (int i = 1; i <= 8; ++i) twin->SetPrvek(i, 3, twin->GetPrvek(i, 1));
    CheckDecomposition(*twin, "equal columns");

    // Badly scaled: columns spanning 20 orders of magnitude, as in a normal
    // matrix mixing coordinates in metres with angles in radians.
    auto scaled = RandomMatrix(12, 6, 12);
    for (int i = 1; i <= 12; ++i)
        for (int j = 1; j <= 6; ++j)
            scaled->SetPrvek(i, j, scaled->GetPrvek(i, j) * std::pow(10.0L, 4 * (j - 3)));
    CheckDecomposition(*scaled, "badly scaled");
}

TEST(Svd, KnownSingularValues) {
    // A = P diag(s) Q^T with P, Q Householder reflections: the singular values
    // are |s| whatever the reflections.
    const std::vector<long double> s = {3, 1e-3L, 7, 0.5L, 2};
    const int n = 5;
    auto reflect = [n](std::vector<long double> u) {
        long double uu = 0;
        for (long double x : u) uu += x * x;
        auto H = Identity(n);
        for (int i = 1; i <= n; ++i)
            for (int j = 1; j <= n; ++j)
                H->SetPrvek(i, j, H->GetPrvek(i, j) - 2 * u[i - 1] * u[j - 1] / uu);
        return H;
    };
    auto P = reflect({1, 2, -1, 0.5L, 3});
    auto Q = reflect({-2, 1, 1, 4, 0.25L});
    auto D = NewMatrix(n, n);
    for (int i = 1; i <= n; ++i) D->SetPrvek(i, i, s[i - 1]);
    auto A = MatMul(*MatMul(*P, *D), *MatTranspose(*Q));
    MatPtr w, v;
    Svdcmp(*A, w, v);
    std::vector<long double> got(w->prvky.begin(), w->prvky.end());
    std::vector<long double> want = s;
    std::sort(got.begin(), got.end());
    std::sort(want.begin(), want.end());
    for (int i = 0; i < n; ++i) EXPECT_NEAR_LD(got[i], want[i], 16 * 7 * kEpsDouble) << i;
}

TEST(Svd, PseudoInverseWorkedExamples) {
    bool flag = false;
    auto p = PseudoInverse(*MakeMatrix({{4}}), flag);
    EXPECT_TRUE(flag);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->GetPrvek(1, 1), 0.25L);

    flag = true;
    EXPECT_EQ(PseudoInverse(*NewMatrix(3, 2), flag), nullptr);
    EXPECT_FALSE(flag);

    auto d = PseudoInverse(*MakeMatrix({{2, 0}, {0, 0}}), flag);
    EXPECT_TRUE(flag);
    ASSERT_NE(d, nullptr);
    EXPECT_NEAR_LD(d->GetPrvek(1, 1), 0.5L, 4 * kEps);
    EXPECT_EQ(d->GetPrvek(1, 2), 0.0L);
    EXPECT_EQ(d->GetPrvek(2, 1), 0.0L);
    EXPECT_EQ(d->GetPrvek(2, 2), 0.0L);

    // 3 x 2 of full column rank: (A^T A)^-1 A^T by hand.  A^T A =
    // [[3, 6], [6, 14]], det 6, inverse [[14, -6], [-6, 3]] / 6.
    auto A = MakeMatrix({{1, 1}, {1, 2}, {1, 3}});
    auto Ap = PseudoInverse(*A, flag);
    EXPECT_TRUE(flag);
    ASSERT_NE(Ap, nullptr);
    ASSERT_EQ(Ap->r, 2);
    ASSERT_EQ(Ap->s, 3);
    const long double want[2][3] = {{8.0L / 6, 2.0L / 6, -4.0L / 6}, {-3.0L / 6, 0, 3.0L / 6}};
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 3; ++j) EXPECT_NEAR_LD(Ap->GetPrvek(i + 1, j + 1), want[i][j], 16 * kEpsDouble);
    // The operand is not changed.
    EXPECT_EQ(A->GetPrvek(3, 2), 3.0L);
}

TEST(Svd, ToleranceZeroesValuesAtOrBelowIt) {
    auto w = MakeMatrix({{2}, {0.5L}, {1e-20L}});
    bool flag = false;
    auto D = ReciprocalDiagonal(*w, flag, 0.5L);  // exactly equal: zeroed
    EXPECT_TRUE(flag);
    EXPECT_EQ(D->GetPrvek(1, 1), 0.5L);
    EXPECT_EQ(D->GetPrvek(2, 2), 0.0L);
    EXPECT_EQ(D->GetPrvek(3, 3), 0.0L);
    EXPECT_EQ(D->GetPrvek(1, 2), 0.0L);
    ReciprocalDiagonal(*w, flag, 2.0L);
    EXPECT_FALSE(flag);

    // Automatic tolerance (sqrt(m + n + 1) / 2) * wmax * 1e-16: for m + n + 1
    // = 16 and wmax = 2 it is 4e-16 exactly as formed in extended.
    const long double tol = (std::sqrt(16.0L) * 0.5L) * 2.0L * 1e-16L;
    auto wa = MakeMatrix({{2}, {tol}, {tol * 1.0000001L}});
    D = ReciprocalDiagonalAuto(*wa, 10, 5, flag);
    EXPECT_TRUE(flag);
    EXPECT_EQ(D->GetPrvek(2, 2), 0.0L);
    EXPECT_NE(D->GetPrvek(3, 3), 0.0L);
    // wmax uses absolute values.
    auto wn = MakeMatrix({{1}, {-4}});
    D = ReciprocalDiagonalAuto(*wn, 1, 1, flag);
    EXPECT_EQ(D->GetPrvek(1, 1), 1.0L);
    // No singular value at all: nothing to invert.
    D = ReciprocalDiagonalAuto(*NewMatrix(0, 1), 3, 0, flag);
    EXPECT_FALSE(flag);
    EXPECT_EQ(D->r, 0);
}

TEST(Svd, PseudoInverseTolAroundTheSingularValues) {
    auto A = MakeMatrix({{4, 1, 0}, {1, 3, 1}, {0, 1, 2}});
    bool flag = false;
    auto inv = PseudoInverseTol(*A, flag, 1e-32L);
    EXPECT_TRUE(flag);
    ASSERT_NE(inv, nullptr);
    EXPECT_LE(MaxDiff(*MatMul(*A, *inv), *Identity(3)), 16 * kEpsDouble);

    MatPtr a = MatCopy(*A), w, v;
    Svdcmp(*a, w, v);
    const long double wmax = *std::max_element(w->prvky.begin(), w->prvky.end());
    EXPECT_EQ(PseudoInverseTol(*A, flag, wmax), nullptr);
    EXPECT_FALSE(flag);
}

TEST(Svd, MoorePenroseIdentities) {
    struct Case {
        MatPtr A;
        const char* what;
    };
    std::vector<Case> cases;
    cases.push_back({RandomMatrix(9, 5, 21), "9 x 5"});
    cases.push_back({RandomMatrix(5, 9, 22), "5 x 9"});
    cases.push_back({MatMul(*RandomMatrix(7, 3, 23), *RandomMatrix(3, 7, 24)), "rank 3 of 7"});
    cases.push_back({RandomMatrix(6, 6, 25, -1e6L, 1e6L), "large entries"});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        bool flag = false;
        auto P = PseudoInverse(*c.A, flag);
        ASSERT_TRUE(flag);
        ASSERT_NE(P, nullptr);
        const Matice& A = *c.A;
        const long double tolA = 1e-15L * MaxAbs(A);
        const long double tolP = 1e-15L * MaxAbs(*P);
        auto AP = MatMul(A, *P);
        auto PA = MatMul(*P, A);
        EXPECT_LE(MaxDiff(*MatMul(*AP, A), A), tolA);
        EXPECT_LE(MaxDiff(*MatMul(*PA, *P), *P), tolP);
        EXPECT_LE(MaxDiff(*AP, *MatTranspose(*AP)), 1e-15L);
        EXPECT_LE(MaxDiff(*PA, *MatTranspose(*PA)), 1e-15L);
    }
}

TEST(Svd, PseudoInverseOfFullColumnRankIsLeftInverseOfNormalEquations) {
    // (A^T A) A^+ = A^T characterises A^+ = (A^T A)^-1 A^T without forming
    // an inverse in the test.
    auto A = RandomMatrix(30, 8, 31);
    bool flag = false;
    auto P = PseudoInverse(*A, flag);
    ASSERT_TRUE(flag);
    auto At = MatTranspose(*A);
    auto lhs = MatMul(*MatMul(*At, *A), *P);
    EXPECT_LE(MaxDiff(*lhs, *At), 1e-16L * 30);
}

TEST(Svd, NanInputDoesNotConvergeOrFaults) {
    auto A = MakeMatrix({{1, 2}, {3, std::numeric_limits<long double>::quiet_NaN()}});
    bool flag = false;
    EXPECT_FALSE(GuardedComputation([&] { return PseudoInverse(*A, flag) != nullptr; }));
}

// The production decomposition and pseudo-inverse must agree with the plain
// reference bit for bit.
void ExpectBitIdentical(const Matice& X, const Matice& Y, const char* what) {
    ASSERT_EQ(X.r, Y.r) << what;
    ASSERT_EQ(X.s, Y.s) << what;
    for (std::size_t e = 0; e < X.prvky.size(); ++e) {
        const long double x = X.prvky[e], y = Y.prvky[e];
        // Compare the 80 significant bits, signs of zero included.
        ASSERT_EQ(std::memcmp(&x, &y, 10), 0) << what << " element " << e << ": " << x << " vs " << y;
    }
}

void CheckAgainstReference() {
    const int shapes[][2] = {{1, 1}, {2, 2}, {5, 3}, {3, 5}, {17, 17}, {40, 23}, {23, 40}, {64, 48}};
    std::uint64_t seed = 100;
    for (const auto& shape : shapes) {
        const int m = shape[0], n = shape[1];
        SCOPED_TRACE(std::to_string(m) + " x " + std::to_string(n));
        for (int variant = 0; variant < 3; ++variant) {
            auto A = RandomMatrix(m, n, ++seed);
            if (variant == 1 && n >= 3)  // rank deficient: equal columns
                for (int i = 1; i <= m; ++i) A->SetPrvek(i, n, A->GetPrvek(i, 1));
            if (variant == 2)  // symmetric positive semidefinite, as normal matrices are
                A = MatMul(*MatTranspose(*A), *A);
            MatPtr a1 = MatCopy(*A), w1, v1;
            MatPtr a2 = MatCopy(*A), w2, v2;
            Svdcmp(*a1, w1, v1);
            test::SvdcmpReference(*a2, w2, v2);
            ExpectBitIdentical(*a1, *a2, "U");
            ExpectBitIdentical(*w1, *w2, "w");
            ExpectBitIdentical(*v1, *v2, "V");

            bool f1 = false, f2 = false;
            auto p1 = PseudoInverseTol(*A, f1, 1e-32L);
            auto p2 = test::PseudoInverseTolReference(*A, f2, 1e-32L);
            ASSERT_EQ(f1, f2);
            ASSERT_EQ(p1 == nullptr, p2 == nullptr);
            if (p1) ExpectBitIdentical(*p1, *p2, "pseudo-inverse");
            // A tolerance that zeroes some singular values.
            std::vector<long double> ws(w1->prvky.begin(), w1->prvky.end());
            std::sort(ws.begin(), ws.end());
            const long double mid = ws[ws.size() / 2];
            p1 = PseudoInverseTol(*A, f1, mid);
            p2 = test::PseudoInverseTolReference(*A, f2, mid);
            ASSERT_EQ(f1, f2);
            ASSERT_EQ(p1 == nullptr, p2 == nullptr);
            if (p1) ExpectBitIdentical(*p1, *p2, "pseudo-inverse, truncated");
        }
    }
}

TEST(Svd, ProductionMatchesReferenceBitForBit) { CheckAgainstReference(); }

// The same with every kernel loop split between two and between three
// threads, however small and whatever the machine has.
TEST(Svd, ProductionMatchesReferenceBitForBitWhenSplit) {
    SetMinParallelWork(0);
    for (const int threads : {2, 3}) {
        SetParallelThreads(threads);
        CheckAgainstReference();
    }
    SetParallelThreads(0);
    SetMinParallelWork(-1);
}

// A tolerance below zero keeps a zero singular value: its reciprocal is
// infinite, and the product takes the plain route; the bits still agree.
TEST(Svd, NonFiniteReciprocalsMatchReference) {
    FpScope scope;  // the division by zero stays inside this test
    auto A = MakeMatrix({{2, 0, 0}, {0, 0, 0}, {0, 0, 3}});
    bool f1 = false, f2 = false;
    auto p1 = PseudoInverseTol(*A, f1, -1.0L);
    auto p2 = test::PseudoInverseTolReference(*A, f2, -1.0L);
    ASSERT_TRUE(f1);
    ASSERT_TRUE(f2);
    ASSERT_NE(p1, nullptr);
    ASSERT_NE(p2, nullptr);
    ExpectBitIdentical(*p1, *p2, "pseudo-inverse with an infinite reciprocal");
}

TEST(Svd, MatMulMatchesReferenceBitForBit) {
    const int shapes[][3] = {{1, 1, 1}, {3, 0, 2}, {7, 5, 3}, {16, 33, 9}, {31, 17, 40}};
    std::uint64_t seed = 500;
    for (const auto& s : shapes) {
        auto A = RandomMatrix(s[0], s[1], ++seed);
        auto B = RandomMatrix(s[1], s[2], ++seed);
        ExpectBitIdentical(*MatMul(*A, *B), *test::MatMulReference(*A, *B), "MatMul");
        SetMinParallelWork(0);
        for (const int threads : {2, 3, 5}) {
            SetParallelThreads(threads);
            ExpectBitIdentical(*MatMul(*A, *B), *test::MatMulReference(*A, *B), "MatMul, split");
        }
        SetParallelThreads(0);
        SetMinParallelWork(-1);
    }
}

}  // namespace
}  // namespace pelvanor

namespace pelvanor {
namespace {

TEST(Svd, NonConvergenceMessage) {
    // A NaN never becomes negligible, so the bottom singular value never
    // splits off and the 30-iteration limit is reached.
    auto A = test::MakeMatrix({{1, 2}, {3, std::numeric_limits<long double>::quiet_NaN()}});
    MatPtr w, v;
    FpScope scope;  // keeps the flags of the NaN arithmetic inside this test
    try {
        Svdcmp(*A, w, v);
        FAIL() << "no error";
    } catch (const SvdError& e) {
        EXPECT_STREQ(e.what(), "no convergence in 30 SVDCMP iterations");
    }
}

}  // namespace
}  // namespace pelvanor
