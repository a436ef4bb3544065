#include "orientation/refinement.h"

#include <cmath>

#include <gtest/gtest.h>

#include "orientation/collinearity.h"
#include "tests/orientation/camera_scene.h"
#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

using namespace test;

const Interior kCamera{0.3L, -0.2L, 35.0L};
const std::vector<ObjectPoint> kPoints = {{1, 0, 0, 0},     {2, 10, 0, 1.5L}, {3, 10, 8, -1},
                                          {4, 0, 8, 2},     {5, 5, 4, 3},     {6, 2, 6, -0.5L}};
const std::vector<TrueImage> kTruth = {{0.05L, -0.08L, 0.3L, 4.0L, 3.5L, 20.0L},
                                       {-0.1L, 0.12L, -0.2L, 8.0L, 1.0L, 22.0L},
                                       {0.2L, 0.02L, 1.4L, 1.0L, 6.0L, 18.0L}};

// Start table n x 16 a few hundredths of a radian and about a unit away.
MatPtr StartTable(const std::vector<TrueImage>& truth) {
    MatPtr start = NewMatrix(static_cast<std::uint16_t>(truth.size()), 16);
    for (std::size_t i = 0; i < truth.size(); ++i) {
        TrueImage s = truth[i];
        s.alfa += 0.03L;
        s.beta -= 0.02L;
        s.gama += 0.04L;
        s.X0 += 1.0L;
        s.Y0 -= 0.8L;
        s.Z0 += 0.6L;
        const auto r = RotationOf(s);
        const int row = static_cast<int>(i + 1);
        for (int j = 0; j < 9; ++j) start->SetPrvek(row, j + 1, r[static_cast<std::size_t>(j)]);
        start->SetPrvek(row, 10, s.X0);
        start->SetPrvek(row, 11, s.Y0);
        start->SetPrvek(row, 12, s.Z0);
        start->SetPrvek(row, 13, 1.0L);
        start->SetPrvek(row, 16, 7.0L);
    }
    return start;
}

struct Outcome {
    bool ok = false;
    MatPtr refined, sigma0;
    long double iterations = -1;
};

Outcome Refine(const Matice& control, const Matice& counts, const Matice& ranges, const Matice& start,
           long double tolerance, std::int32_t maxIterations) {
    Outcome run;
    run.ok = RefineOrientation(&control, &counts, &ranges, &start, kCamera.x0, kCamera.y0,
                               kCamera.f, tolerance, maxIterations, run.refined, run.iterations,
                               run.sigma0);
    return run;
}

TEST(RefineOrientation, ConvergesToTheNoiseLevel) {
    const long double sigma = 0.003L;
    MatPtr counts, ranges;
    MatPtr control = ControlTable(kTruth, kCamera, kPoints, sigma, 11, counts, ranges);
    MatPtr start = StartTable(kTruth);
    Outcome run = Refine(*control, *counts, *ranges, *start, 0.1L, 20);
    ASSERT_TRUE(run.ok);
    EXPECT_GE(run.iterations, 2);
    EXPECT_LE(run.iterations, 8);
    ASSERT_EQ(run.refined->r, 3);
    ASSERT_EQ(run.refined->s, 12);
    for (int i = 1; i <= 3; ++i) {
        const TrueImage& t = kTruth[static_cast<std::size_t>(i - 1)];
        // An image error of 0.003 at f = 35 and 20 units is about 0.002
        // units in the object and 1e-4 rad in the angles.
        EXPECT_LT(RotationError(*run.refined, i, t), 2e-3L) << i;
        EXPECT_NEAR(static_cast<double>(run.refined->GetPrvek(i, 10)), static_cast<double>(t.X0), 0.05);
        EXPECT_NEAR(static_cast<double>(run.refined->GetPrvek(i, 11)), static_cast<double>(t.Y0), 0.05);
        EXPECT_NEAR(static_cast<double>(run.refined->GetPrvek(i, 12)), static_cast<double>(t.Z0), 0.05);
        // The unit standard deviation estimates the image noise.
        EXPECT_GT(run.sigma0->GetPrvek(i, 1), sigma / 4);
        EXPECT_LT(run.sigma0->GetPrvek(i, 1), sigma * 3);
    }
}

TEST(RefineOrientation, NoIterationCopiesTheStart) {
    MatPtr counts, ranges;
    MatPtr control = ControlTable(kTruth, kCamera, kPoints, 0.003L, 11, counts, ranges);
    MatPtr start = StartTable(kTruth);
    for (std::int32_t maximum : {0, -3}) {
        Outcome run = Refine(*control, *counts, *ranges, *start, 0.1L, maximum);
        ASSERT_TRUE(run.ok);
        EXPECT_EQ(run.iterations, 0);
        ASSERT_EQ(run.refined->s, 16);
        EXPECT_EQ(run.refined->prvky, start->prvky);
        ASSERT_EQ(run.sigma0->r, 3);
        for (long double s : run.sigma0->prvky) EXPECT_EQ(s, 0.0L);
    }
}

TEST(RefineOrientation, EveryImageIsLinearisedAtThePreviousIteration) {
    MatPtr counts, ranges;
    MatPtr control = ControlTable(kTruth, kCamera, kPoints, 0.003L, 11, counts, ranges);
    MatPtr start = StartTable(kTruth);
    Outcome one = Refine(*control, *counts, *ranges, *start, 0.1L, 1);
    ASSERT_TRUE(one.ok);
    EXPECT_EQ(one.iterations, 1);
    EXPECT_EQ(one.refined->s, 12);
    Outcome again = Refine(*control, *counts, *ranges, *one.refined, 0.1L, 1);
    ASSERT_TRUE(again.ok);
    Outcome two = Refine(*control, *counts, *ranges, *start, 0.1L, 2);
    ASSERT_TRUE(two.ok);
    EXPECT_EQ(two.iterations, 2);
    EXPECT_EQ(two.refined->prvky, again.refined->prvky);
    EXPECT_EQ(two.sigma0->prvky, again.sigma0->prvky);
    for (int i = 1; i <= 3; ++i) EXPECT_GT(one.sigma0->GetPrvek(i, 1), 0.0L);
}

TEST(RefineOrientation, StopsOnTheSumOfSignedChanges) {
    // Replays the iterations one by one (each run of k iterations gives the
    // unit standard deviations of iteration k) and checks that the full run
    // stopped at the first iteration whose |sum of relative changes| was
    // within the tolerance.
    MatPtr counts, ranges;
    MatPtr control = ControlTable(kTruth, kCamera, kPoints, 0.003L, 11, counts, ranges);
    MatPtr start = StartTable(kTruth);
    const long double tolerance = 0.1L;
    Outcome full = Refine(*control, *counts, *ranges, *start, tolerance, 20);
    ASSERT_TRUE(full.ok);
    const int last = static_cast<int>(full.iterations);
    ASSERT_LT(last, 20);
    std::vector<long double> previous(3, 0.0L);
    for (int k = 1; k <= last; ++k) {
        Outcome step = Refine(*control, *counts, *ranges, *start, tolerance, k);
        ASSERT_TRUE(step.ok);
        ASSERT_EQ(step.iterations, k);
        long double sum = 0.0L;
        for (int i = 1; i <= 3; ++i) {
            const long double m0 = step.sigma0->GetPrvek(i, 1);
            sum += (previous[static_cast<std::size_t>(i - 1)] - m0) / m0 * 100.0L;
            previous[static_cast<std::size_t>(i - 1)] = m0;
        }
        if (k == 1) {
            EXPECT_NEAR(static_cast<double>(sum), -300.0, 1e-12);
        }
        if (k < last) {
            EXPECT_GT(std::fabs(sum), tolerance) << k;
        } else {
            EXPECT_LE(std::fabs(sum), tolerance) << k;
        }
    }
    EXPECT_EQ(full.sigma0->prvky, Refine(*control, *counts, *ranges, *start, tolerance, last).sigma0->prvky);
}

TEST(RefineOrientation, Failures) {
    // Three control points leave no redundancy.
    const std::vector<ObjectPoint> three(kPoints.begin(), kPoints.begin() + 3);
    MatPtr counts, ranges;
    MatPtr control = ControlTable(kTruth, kCamera, three, 0.003L, 11, counts, ranges);
    MatPtr start = StartTable(kTruth);
    Outcome run = Refine(*control, *counts, *ranges, *start, 0.1L, 20);
    EXPECT_FALSE(run.ok);
    EXPECT_TRUE(run.refined);
    EXPECT_TRUE(run.sigma0);

    // A control point in the plane of the projection centre (W = 0).
    control = ControlTable(kTruth, kCamera, kPoints, 0.003L, 11, counts, ranges);
    MatPtr flat = StartTable(kTruth);
    for (int j = 1; j <= 9; ++j) flat->SetPrvek(1, j, j == 1 || j == 5 || j == 9 ? 1.0L : 0.0L);
    flat->SetPrvek(1, 12, control->GetPrvek(1, 4));
    run = Refine(*control, *counts, *ranges, *flat, 0.1L, 20);
    EXPECT_FALSE(run.ok);

    EXPECT_FALSE(RefineOrientation(nullptr, counts.get(), ranges.get(), start.get(), 0, 0, 35,
                                   0.1L, 20, run.refined, run.iterations, run.sigma0));
}

}  // namespace
}  // namespace pelvanor
