#include "matrix/cancellation.h"

#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "matrix/arithmetic.h"
#include "matrix/fp_guard.h"
#include "matrix/parallel.h"
#include "matrix/svd.h"

namespace pelvanor {
namespace {

// A symmetric positive semidefinite matrix, as the normal matrices are.
MatPtr NormalMatrix(int n, std::uint64_t seed) {
    std::mt19937_64 gen(seed);
    std::uniform_real_distribution<long double> dist(-1.0L, 1.0L);
    auto A = NewMatrix(static_cast<std::uint16_t>(n), static_cast<std::uint16_t>(n));
    for (auto& e : A->prvky) e = dist(gen);
    return MatMul(*MatTranspose(*A), *A);
}

bool BitIdentical(const Matice& X, const Matice& Y) {
    if (X.r != Y.r || X.s != Y.s) return false;
    for (std::size_t e = 0; e < X.prvky.size(); ++e)
        if (std::memcmp(&X.prvky[e], &Y.prvky[e], 10) != 0) return false;
    return true;
}

// The decomposition asks once per step of each of its four phases; a
// question that never stops it changes no bit, one that does ends it in the
// middle, and a guarded computation around it fails.  On one thread the
// phases run in turn, so the count of questions is exact.
TEST(Cancellation, TheDecompositionStopsBetweenItsStepsAndIsUnchangedOtherwise) {
    SetParallelThreads(1);
    const int n = 60;
    const MatPtr A = NormalMatrix(n, 7);
    MatPtr a1 = MatCopy(*A), w1, v1;
    Svdcmp(*a1, w1, v1);

    int asked = 0;
    {
        CancellationScope scope([&asked] {
            ++asked;
            return false;
        });
        MatPtr a2 = MatCopy(*A), w2, v2;
        Svdcmp(*a2, w2, v2);
        EXPECT_TRUE(BitIdentical(*a1, *a2));
        EXPECT_TRUE(BitIdentical(*w1, *w2));
        EXPECT_TRUE(BitIdentical(*v1, *v2));
    }
    EXPECT_EQ(asked, 4 * n);

    asked = 0;
    {
        // A yes in the second phase.
        CancellationScope scope([&asked] { return ++asked > n + 10; });
        MatPtr a3 = MatCopy(*A), w3, v3;
        EXPECT_THROW(Svdcmp(*a3, w3, v3), ComputationCancelled);
        EXPECT_EQ(asked, n + 11);

        bool flag = false;
        EXPECT_FALSE(GuardedComputation([&] { return PseudoInverseTol(*A, flag, 1e-32L) != nullptr; }));
        EXPECT_EQ(LastGuardFailure().kind, GuardFailure::Kind::Exception);
        EXPECT_EQ(LastGuardFailure().exception, "computation cancelled");
        EXPECT_EQ(LastGuardFailure().thrown, GuardFailure::Thrown::Cancelled);
    }

    // Once the scope has ended nothing is asked.
    MatPtr a4 = MatCopy(*A), w4, v4;
    EXPECT_NO_THROW(Svdcmp(*a4, w4, v4));
    EXPECT_TRUE(BitIdentical(*w1, *w4));
    SetParallelThreads(0);
}

// The pseudo-inverse reports the share of its work done, rising from 0 to
// 1, while a receiver is installed; the reports change no bit of it.
TEST(Cancellation, ThePseudoInverseReportsItsShareDone) {
    const MatPtr A = NormalMatrix(80, 11);
    bool flag = false;
    const MatPtr plain = PseudoInverseTol(*A, flag, 1e-32L);
    ASSERT_TRUE(plain);
    std::vector<double> shares;
    {
        ProgressScope scope([&shares](double share) { shares.push_back(share); });
        const MatPtr reported = PseudoInverseTol(*A, flag, 1e-32L);
        ASSERT_TRUE(reported);
        EXPECT_TRUE(BitIdentical(*plain, *reported));
    }
    ASSERT_GT(shares.size(), 160u);  // every step of the reduction and of the sweeps
    EXPECT_EQ(shares.front(), 0.0);
    EXPECT_EQ(shares.back(), 1.0);
    for (std::size_t i = 1; i < shares.size(); ++i) EXPECT_GE(shares[i], shares[i - 1]) << i;
    // Outside the scope nothing is reported.
    EXPECT_FALSE(ProgressWanted());
}

// A split loop lends the caller's question to its helper threads: a question
// that stops only off the calling thread still ends the decomposition.
TEST(Cancellation, HelperThreadsAskTheCallersQuestion) {
    SetParallelThreads(2);
    SetMinParallelWork(0);
    const MatPtr A = NormalMatrix(40, 9);
    {
        CancellationScope scope([caller = std::this_thread::get_id()] { return std::this_thread::get_id() != caller; });
        MatPtr a = MatCopy(*A), w, v;
        EXPECT_THROW(Svdcmp(*a, w, v), ComputationCancelled);
    }
    SetMinParallelWork(-1);
    SetParallelThreads(0);
}

// An inner scope with a question of its own hides the outer one until it
// ends; an empty one leaves the outer in place.
TEST(Cancellation, ScopesNest) {
    EXPECT_FALSE(CancellationRequested());
    CancellationScope outer([] { return true; });
    EXPECT_TRUE(CancellationRequested());
    {
        CancellationScope inner([] { return false; });
        EXPECT_FALSE(CancellationRequested());
        CancellationScope empty{std::function<bool()>()};
        EXPECT_FALSE(CancellationRequested());
    }
    {
        CancellationScope empty{std::function<bool()>()};
        EXPECT_THROW(ThrowIfCancelled(), ComputationCancelled);
    }
    EXPECT_TRUE(CancellationRequested());
}

}  // namespace
}  // namespace pelvanor
