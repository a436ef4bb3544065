// The F distribution and the F-test: worked examples, the known weak spots
// of the Simpson quantile and their mending, and a grid of degrees of
// freedom against Boost.Math (an independent implementation) where it is
// installed, against tabulated quantiles always.

#include "adjustment/f_test.h"

#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/test_util.h"

#if __has_include(<boost/math/distributions/fisher_f.hpp>)
#include <boost/math/distributions/fisher_f.hpp>
#define PELVANOR_HAVE_BOOST_MATH 1
#endif

namespace pelvanor {
namespace {

using test::IsNearRel;

TEST(Gamma, WorkedExamples) {
    const long double pi = std::numbers::pi_v<long double>;
    // To the accuracy of the 16-digit coefficients of the series.
    EXPECT_TRUE(IsNearRel(ReciprocalGamma(1.0L), 1.0L, 1e-15L));
    EXPECT_TRUE(IsNearRel(ReciprocalGamma(0.5L), 1.0L / std::sqrt(pi), 1e-15L));
    EXPECT_TRUE(IsNearRel(Gamma(5.0L), 24.0L, 1e-15L));
    EXPECT_TRUE(IsNearRel(Gamma(0.5L), std::sqrt(pi), 1e-15L));
    EXPECT_EQ(ReciprocalGamma(0.0L), 0.0L);
    try {
        Gamma(0.0L);
        ADD_FAILURE() << "Gamma(0) returned";
    } catch (const MathError& e) {
        EXPECT_EQ(std::string(e.what()), "Not Defined for given Value");
    }
    // At a negative integer the series leaves a small remainder: a large
    // finite value rather than the error.
    const long double g = Gamma(-2.0L);
    EXPECT_TRUE(std::isfinite(g));
    EXPECT_GT(std::fabs(g), 1e12L);
}

TEST(Gamma, SeriesAndRecurrenceAgainstLibraryGamma) {
    for (long double x :
         {0.1L, 0.7L, 1.3L, 2.5L, 7.7L, 20.5L, 57.0L, 170.25L, -0.5L, -2.5L, -7.3L}) {
        EXPECT_TRUE(IsNearRel(Gamma(x), std::tgamma(x), 5e-15L)) << x;
    }
    // Where Gamma passes 1e4000 it becomes undefined for this program.
    for (long double x : {1000.0L, 1400.0L, 1455.5L}) {
        ASSERT_LT(std::lgamma(x), 4000.0L * std::log(10.0L));
        EXPECT_NO_THROW(Gamma(x)) << x;
        EXPECT_TRUE(IsNearRel(std::log(Gamma(x)), std::lgamma(x), 1e-15L)) << x;
    }
    for (long double x : {1470.0L, 1750.0L, 50000.0L}) {
        ASSERT_GT(std::lgamma(x), 4000.0L * std::log(10.0L));
        EXPECT_THROW(Gamma(x), MathError) << x;
    }
}

TEST(FDensity, PowersAtZeroAndFailures) {
    long double v = -1.0L;
    ASSERT_TRUE(FDensity(v, 2.0L, 7.0L, 0.0L));
    EXPECT_TRUE(IsNearRel(v, 1.0L, 1e-15L)) << "0^0 is 1";
    ASSERT_TRUE(FDensity(v, 1.0L, 7.0L, 0.0L));
    EXPECT_EQ(v, 0.0L) << "0 to a non-integral power is 0";
    // Density of F(4, 6) at 1: Gamma(5)/(Gamma(2)Gamma(3)) (2/3)^2 / (5/3)^5.
    ASSERT_TRUE(FDensity(v, 4.0L, 6.0L, 1.0L));
    EXPECT_TRUE(IsNearRel(v, 12.0L * (4.0L / 9.0L) * std::pow(3.0L / 5.0L, 5.0L), 1e-15L));
    // d2 of 4000: Gamma((d1 + d2)/2) exceeds 1e4000; d2 of 0 divides by 0.
    v = -1.0L;
    EXPECT_FALSE(FDensity(v, 3.0L, 4000.0L, 1.0L));
    EXPECT_FALSE(FDensity(v, 3.0L, 0.0L, 1.0L));
    EXPECT_FALSE(FDensity(v, 3.0L, -3.0L, 1.0L));
    EXPECT_EQ(v, -1.0L) << "a failed density leaves the value as it was";
}

TEST(FDistribution, SimpsonIntegralAndFailure) {
    // The Simpson rule with many subintervals converges to the accurate value.
    long double simpson = 0.0L, exact = 0.0L;
    ASSERT_TRUE(FDistribution(20000, simpson, 5.0L, 30.0L, 0.0L, 2.53L));
    ASSERT_TRUE(FDistributionAccurate(exact, 5.0L, 30.0L, 2.53L));
    EXPECT_NEAR(static_cast<double>(simpson - exact), 0.0, 1e-9);
    // With the 100 subintervals of the quantile search it approaches 1.
    ASSERT_TRUE(FDistribution(100, simpson, 4.0L, 20.0L, 0.0L, 10.0L));
    EXPECT_NEAR(static_cast<double>(simpson), 1.0, 1e-3);
    ASSERT_TRUE(FDistribution(100, simpson, 2.0L, 20.0L, 0.0L, 20.0L));
    ASSERT_TRUE(FDistributionAccurate(exact, 2.0L, 20.0L, 20.0L));
    EXPECT_NEAR(static_cast<double>(simpson - exact), 0.0, 5e-5);
    // Too many degrees of freedom: no density, so no integral (and the old
    // value stays).
    simpson = -1.0L;
    EXPECT_FALSE(FDistribution(100, simpson, 3.0L, 5000.0L, 0.0L, 50.0L));
    EXPECT_EQ(simpson, -1.0L);
    EXPECT_FALSE(FDistribution(0, simpson, 3.0L, 10.0L, 0.0L, 50.0L));
}

TEST(FQuantile, RoughlyRightSimpsonQuantilesStandAsComputed) {
    long double plain = 0.0L, q = 0.0L;
    ASSERT_TRUE(FQuantileSimpson(plain, 3.0L, 10.0L, 5.0L));
    ASSERT_TRUE(FQuantile(q, 3.0L, 10.0L, 5.0L));
    EXPECT_EQ(q, plain);
    EXPECT_NEAR(static_cast<double>(q), 3.75, 0.01);  // tabulated 3.708
    ASSERT_TRUE(FQuantileSimpson(plain, 5.0L, 30.0L, 5.0L));
    ASSERT_TRUE(FQuantile(q, 5.0L, 30.0L, 5.0L));
    EXPECT_EQ(q, plain);
    EXPECT_NEAR(static_cast<double>(q), 2.53, 0.01);  // tabulated 2.534
}

TEST(FQuantile, WeakSpotsOfTheSimpsonQuantileAreMended) {
    long double plain = 0.0L, q = 0.0L;
    // A narrow density (d1 = 19, a point on 11 images): 100 Simpson steps
    // over [0, 50] miss it and the search runs away.
    ASSERT_TRUE(FQuantileSimpson(plain, 19.0L, 60.0L, 5.0L));
    EXPECT_GT(std::fabs(plain - 1.76L), 1.0L);
    ASSERT_TRUE(FQuantile(q, 19.0L, 60.0L, 5.0L));
    EXPECT_NEAR(static_cast<double>(q), 1.7626, 1e-3);
    // A quantile above the search bracket [0, 100].
    ASSERT_TRUE(FQuantileSimpson(plain, 3.0L, 1.0L, 5.0L));
    EXPECT_LT(plain, 1.0L);
    ASSERT_TRUE(FQuantile(q, 3.0L, 1.0L, 5.0L));
    EXPECT_NEAR(static_cast<double>(q), 215.71, 0.01);
    ASSERT_TRUE(FQuantileSimpson(plain, 1.0L, 1.0L, 5.0L));
    EXPECT_LT(plain, 1.0L);
    ASSERT_TRUE(FQuantile(q, 1.0L, 1.0L, 5.0L));
    EXPECT_NEAR(static_cast<double>(q), 161.45, 0.01);
    // Many degrees of freedom: Gamma overflows, the Simpson quantile fails.
    EXPECT_FALSE(FQuantileSimpson(plain, 3.0L, 4000.0L, 5.0L));
    ASSERT_TRUE(FQuantile(q, 3.0L, 4000.0L, 5.0L));
    EXPECT_NEAR(static_cast<double>(q), 2.6071, 1e-3);
    // No degrees of freedom: no quantile, a failure.
    EXPECT_FALSE(FQuantile(q, 3.0L, 0.0L, 5.0L));
}

// Tabulated 5 % and 1 % points of the F distribution (rows d1, columns d2).
TEST(FQuantile, AgainstTabulatedValues) {
    struct Row {
        long double d1, d2, percent, value;
    };
    const Row table[] = {
        {3, 10, 1, 6.552L}, {4, 12, 5, 3.259L},  {5, 30, 5, 2.534L},  {7, 20, 5, 2.514L},
        {9, 60, 5, 2.040L}, {10, 10, 5, 2.978L}, {12, 24, 1, 3.032L}, {20, 120, 1, 2.035L},
        {3, 1, 5, 215.7L},  {5, 2, 1, 99.30L},   {60, 60, 5, 1.534L}, {1, 1, 5, 161.4L},
    };
    for (const Row& r : table) {
        long double q = 0.0L;
        ASSERT_TRUE(FQuantile(q, r.d1, r.d2, r.percent)) << r.d1 << " " << r.d2;
        long double f = 0.0L;
        ASSERT_TRUE(FDistributionAccurate(f, r.d1, r.d2, q));
        // Either the Simpson value, within 0.01 in probability, or the
        // accurate one.
        EXPECT_LE(std::fabs(f - (1.0L - r.percent / 100.0L)), 0.01L) << r.d1 << " " << r.d2;
        long double accurate = 0.0L;
        ASSERT_TRUE(FQuantileAccurate(accurate, r.d1, r.d2, r.percent));
        EXPECT_NEAR(static_cast<double>(accurate / r.value), 1.0, 2e-3) << r.d1 << " " << r.d2;
    }
}

#ifdef PELVANOR_HAVE_BOOST_MATH
TEST(FQuantile, GridAgainstBoostMath) {
    const long double d1s[] = {3, 4, 5, 7, 9, 13, 19, 27, 41, 60};
    const long double d2s[] = {1,   2,   3,    5,    8,    13,   21,    40,    75,
                               150, 400, 1000, 2000, 2900, 3500, 10000, 100000};
    int replaced = 0, kept = 0;
    for (long double percent : {5.0L, 1.0L}) {
        const long double p = 1.0L - percent / 100.0L;
        for (long double d1 : d1s)
            for (long double d2 : d2s) {
                const boost::math::fisher_f_distribution<long double> dist(d1, d2);
                const long double truth = boost::math::quantile(dist, p);
                long double accurate = 0.0L, cdf = 0.0L;
                ASSERT_TRUE(FQuantileAccurate(accurate, d1, d2, percent));
                EXPECT_TRUE(IsNearRel(accurate, truth, 1e-12L)) << d1 << " " << d2 << " " << percent;
                ASSERT_TRUE(FDistributionAccurate(cdf, d1, d2, truth));
                EXPECT_NEAR(static_cast<double>(cdf), static_cast<double>(p), 1e-14);

                long double q = 0.0L, plain = 0.0L;
                ASSERT_TRUE(FQuantile(q, d1, d2, percent)) << d1 << " " << d2;
                const bool plain_ok = FQuantileSimpson(plain, d1, d2, percent);
                const bool plain_good =
                    plain_ok && std::fabs(boost::math::cdf(dist, plain) - p) <= 0.01L;
                if (plain_good) {
                    EXPECT_EQ(q, plain) << d1 << " " << d2;
                    ++kept;
                } else {
                    EXPECT_LT(std::fabs(q / truth - 1.0L), 1e-6L)
                        << d1 << " " << d2 << " " << percent;
                    ++replaced;
                }
            }
    }
    std::printf("Simpson quantiles kept: %d, replaced: %d\n", kept, replaced);
    // Both branches are exercised.
    EXPECT_GT(kept, 50);
    EXPECT_GT(replaced, 50);
}
#endif

MatPtr Points(const std::vector<long double>& m0) {
    MatPtr m = NewMatrix(static_cast<std::uint16_t>(m0.size()), 8);
    for (std::size_t i = 0; i < m0.size(); ++i) {
        const int r = static_cast<int>(i) + 1;
        m->SetPrvek(r, 1, 100.0L + r);
        for (int j = 2; j <= 4; ++j) m->SetPrvek(r, j, 10.0L * r + j);
        m->SetPrvek(r, 5, m0[i]);
        for (int j = 6; j <= 8; ++j) m->SetPrvek(r, j, 0.001L * j);
    }
    return m;
}

MatPtr Counts(const std::vector<int>& c) {
    MatPtr m = NewMatrix(static_cast<std::uint16_t>(c.size()), 2);
    for (std::size_t i = 0; i < c.size(); ++i) {
        m->SetPrvek(static_cast<int>(i) + 1, 1, 101.0L + static_cast<long double>(i));
        m->SetPrvek(static_cast<int>(i) + 1, 2, c[i]);
    }
    return m;
}

TEST(FTest, PointsOnTwoImagesAgainstTheReference) {
    const MatPtr pts = Points({0.02L, 0.03L, 0.025L, 0.01L});
    const MatPtr counts = Counts({2, 2, 2, 2});
    MatPtr passed, results;
    ASSERT_TRUE(FTest(pts.get(), counts.get(), passed, 5.0L, 0.01L, results));
    ASSERT_EQ(results->r, 4);
    EXPECT_TRUE(IsNearRel(results->GetPrvek(1, 1), 2.0L, 1e-17L));
    EXPECT_EQ(results->GetPrvek(1, 2), 2.5L);
    EXPECT_TRUE(IsNearRel(results->GetPrvek(2, 1), 3.0L, 1e-17L));
    // 2 < 2.5 passes, 3 and 2.5 fail (strict), 1 passes.
    ASSERT_EQ(passed->r, 2);
    ASSERT_EQ(passed->s, 8);
    EXPECT_EQ(passed->GetPrvek(1, 1), 101.0L);
    EXPECT_EQ(passed->GetPrvek(2, 1), 104.0L);
    for (int j = 1; j <= 8; ++j) EXPECT_EQ(passed->GetPrvek(2, j), pts->GetPrvek(4, j));
}

TEST(FTest, PointsOnMoreImagesAgainstTheOthers) {
    // N = 12 measurements of P = 4 points.
    const MatPtr pts = Points({1.0L, 1.2L, 0.8L, 5.0L});
    const MatPtr counts = Counts({3, 3, 2, 4});
    MatPtr passed, results;
    ASSERT_TRUE(FTest(pts.get(), counts.get(), passed, 5.0L, 1.0L, results));
    // Point 1: d1 = 3, d2 = 24 - 6 - 9 = 9, against sqrt((1.44 + 0.64 + 25) / 3).
    long double q39 = 0.0L, q59 = 0.0L;
    ASSERT_TRUE(FQuantile(q39, 3.0L, 9.0L, 5.0L));
    EXPECT_NEAR(static_cast<double>(q39), 3.86, 0.05);  // tabulated 3.863
    EXPECT_TRUE(IsNearRel(results->GetPrvek(1, 1), 1.0L / std::sqrt(27.08L / 3.0L), 1e-17L));
    EXPECT_EQ(results->GetPrvek(1, 2), q39);
    EXPECT_EQ(results->GetPrvek(2, 2), q39);
    // Point 3 on two images: against the reference.
    EXPECT_TRUE(IsNearRel(results->GetPrvek(3, 1), 0.8L, 1e-17L));
    EXPECT_EQ(results->GetPrvek(3, 2), 2.5L);
    // Point 4: d1 = 5, d2 = 24 - 8 - 9 = 7; 5 / sqrt((1 + 1.44 + 0.64) / 3) fails.
    ASSERT_TRUE(FQuantile(q59, 5.0L, 7.0L, 5.0L));
    EXPECT_EQ(results->GetPrvek(4, 2), q59);
    EXPECT_TRUE(IsNearRel(results->GetPrvek(4, 1), 5.0L / std::sqrt(3.08L / 3.0L), 1e-17L));
    ASSERT_EQ(passed->r, 3);
    EXPECT_EQ(passed->GetPrvek(3, 1), 103.0L);
}

TEST(FTest, NoPointPassingIsAResult) {
    const MatPtr pts = Points({0.05L, 0.06L});
    const MatPtr counts = Counts({2, 2});
    MatPtr passed, results;
    ASSERT_TRUE(FTest(pts.get(), counts.get(), passed, 5.0L, 0.01L, results));
    ASSERT_EQ(passed->r, 1);
    ASSERT_EQ(passed->s, 1);
    EXPECT_EQ(passed->GetPrvek(1, 1), 0.0L);
}

TEST(FTest, DegenerateInputs) {
    MatPtr passed, results;
    // A single point on three images: the quadratic mean of no other point.
    const MatPtr one = Points({0.01L});
    const MatPtr c3 = Counts({3});
    EXPECT_FALSE(FTest(one.get(), c3.get(), passed, 5.0L, 0.01L, results));
    EXPECT_FALSE(FTest(nullptr, c3.get(), passed, 5.0L, 0.01L, results));
    // A point below two images leaves its row zero and makes d2 of the
    // other point -3: that one fails with critical value 0, and the test
    // goes on.
    const MatPtr two = Points({0.01L, 0.01L});
    const MatPtr c30 = Counts({3, 0});
    ASSERT_TRUE(FTest(two.get(), c30.get(), passed, 5.0L, 0.01L, results));
    EXPECT_TRUE(IsNearRel(results->GetPrvek(1, 1), 1.0L, 1e-17L));
    EXPECT_EQ(results->GetPrvek(1, 2), 0.0L);
    EXPECT_EQ(results->GetPrvek(2, 1), 0.0L);
    EXPECT_EQ(results->GetPrvek(2, 2), 0.0L);
    EXPECT_EQ(passed->r, 1);
    EXPECT_EQ(passed->GetPrvek(1, 1), 0.0L);
}

TEST(FTest, ManyPointsDoNotBreakTheQuantile) {
    // 1500 points on three images: d2 = 2 * 4500 - 6 - 3 * 1499 = 4497, where
    // Gamma overflows; the test still gives the accurate critical value.
    std::vector<long double> m0(1500);
    for (std::size_t i = 0; i < m0.size(); ++i)
        m0[i] = 0.01L + 0.00001L * static_cast<long double>(i % 37);
    m0[700] = 0.05L;
    const MatPtr pts = Points(m0);
    const MatPtr counts = Counts(std::vector<int>(1500, 3));
    MatPtr passed, results;
    ASSERT_TRUE(FTest(pts.get(), counts.get(), passed, 5.0L, 0.01L, results));
    long double q = 0.0L;
    ASSERT_TRUE(FQuantileAccurate(q, 3.0L, 4497.0L, 5.0L));
    EXPECT_EQ(results->GetPrvek(1, 2), q);
    EXPECT_NEAR(static_cast<double>(q), 2.6069, 1e-3);
    EXPECT_EQ(passed->r, 1499);  // all but the point with the large m0
}

}  // namespace
}  // namespace pelvanor
