#include "orientation/space_resection.h"

#include <cmath>

#include <gtest/gtest.h>

#include "tests/orientation/camera_scene.h"
#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

using namespace test;

const Interior kCamera{0.3L, -0.2L, 35.0L};
const std::vector<ObjectPoint> kPoints = {
    {1, 0, 0, 0}, {2, 10, 0, 1.5L}, {3, 10, 8, -1}, {4, 0, 8, 2}};

long double CentreError(const Matice& o, int row, const TrueImage& t) {
    return std::fmax(std::fabs(o.GetPrvek(row, 10) - t.X0),
                     std::fmax(std::fabs(o.GetPrvek(row, 11) - t.Y0),
                               std::fabs(o.GetPrvek(row, 12) - t.Z0)));
}

TEST(SpaceResection, NoisyDataConverge) {
    const TrueImage truth{0.05L, -0.08L, 0.3L, 4.0L, 3.5L, 20.0L};
    MatPtr counts, ranges;
    // Image noise of 0.002 on coordinates of a few units.
    MatPtr table = ControlTable({truth}, kCamera, kPoints, 0.002L, 7, counts, ranges);
    MatPtr o;
    SpaceResectionPasses passes;
    ASSERT_TRUE(SpaceResectionImage(*table, o, 0.1L, kCamera.f, kCamera.x0, kCamera.y0, &passes));
    // The start distances 0.1 are far from the true ~20.
    EXPECT_GT(passes.distances, 10);
    EXPECT_LT(passes.distances, kSpaceResectionMaxPasses);
    EXPECT_LT(passes.centre, kSpaceResectionMaxPasses);
    EXPECT_LT(CentreError(*o, 1, truth), 0.05L);
    // The rotation is approximate for two or three non-zero angles.
    EXPECT_LT(RotationError(*o, 1, truth), 0.15L);
    for (int j = 13; j <= 16; ++j) EXPECT_EQ(o->GetPrvek(1, j), 0.0L);
}

TEST(SpaceResection, NoiseFreeDataEnd) {
    // Without noise the unit standard deviation sinks to rounding level and
    // its relative change stays large; the pass bound ends both iterations.
    const TrueImage truths[] = {{0.05L, -0.08L, 0.3L, 4.0L, 3.5L, 20.0L},
                                {-0.2L, 0.1L, 1.3L, 2.0L, 6.0L, 18.0L},
                                {0.15L, 0.12L, -0.6L, 7.0L, 1.0L, 30.0L},
                                {0.0L, 0.0L, 0.0L, 5.0L, 4.0L, 15.0L}};
    for (const TrueImage& truth : truths) {
        MatPtr counts, ranges;
        MatPtr table = ControlTable({truth}, kCamera, kPoints, 0, 7, counts, ranges);
        MatPtr o;
        SpaceResectionPasses passes;
        ASSERT_TRUE(
            SpaceResectionImage(*table, o, 0.1L, kCamera.f, kCamera.x0, kCamera.y0, &passes));
        EXPECT_LE(passes.distances, kSpaceResectionMaxPasses);
        EXPECT_LE(passes.centre, kSpaceResectionMaxPasses);
        EXPECT_LT(CentreError(*o, 1, truth), 1e-9L);
    }
    // A tolerance of zero can never be met: the bound alone ends the loops,
    // and the last values are kept.
    const TrueImage truth = truths[0];
    MatPtr counts, ranges;
    MatPtr table = ControlTable({truth}, kCamera, kPoints, 0.002L, 7, counts, ranges);
    MatPtr o;
    SpaceResectionPasses passes;
    ASSERT_TRUE(SpaceResectionImage(*table, o, -1.0L, kCamera.f, kCamera.x0, kCamera.y0, &passes));
    EXPECT_EQ(passes.distances, kSpaceResectionMaxPasses);
    EXPECT_EQ(passes.centre, kSpaceResectionMaxPasses);
    EXPECT_LT(CentreError(*o, 1, truth), 0.05L);
}

TEST(SpaceResection, SingleAxisRotationsAreExact) {
    const TrueImage cases[] = {{0.3L, 0, 0, 4.0L, 3.5L, 20.0L},
                               {0, -0.25L, 0, 4.0L, 3.5L, 20.0L},
                               {0, 0, 0.7L, 4.0L, 3.5L, 20.0L},
                               {0, 0, -2.0L, 4.0L, 3.5L, 20.0L}};
    for (const TrueImage& truth : cases) {
        MatPtr counts, ranges;
        MatPtr table = ControlTable({truth}, kCamera, kPoints, 0, 7, counts, ranges);
        MatPtr o;
        ASSERT_TRUE(SpaceResectionImage(*table, o, 0.1L, kCamera.f, kCamera.x0, kCamera.y0));
        EXPECT_LT(RotationError(*o, 1, truth), 1e-9L)
            << static_cast<double>(truth.alfa) << " " << static_cast<double>(truth.beta) << " "
            << static_cast<double>(truth.gama);
        EXPECT_LT(CentreError(*o, 1, truth), 1e-9L);
    }
}

TEST(SpaceResection, LargeToleranceKeepsStartValues) {
    const TrueImage truth{0.05L, -0.08L, 0.3L, 4.0L, 3.5L, 20.0L};
    MatPtr counts, ranges;
    MatPtr table = ControlTable({truth}, kCamera, kPoints, 0, 7, counts, ranges);
    MatPtr o;
    SpaceResectionPasses passes;
    ASSERT_TRUE(SpaceResectionImage(*table, o, 100.0L, kCamera.f, kCamera.x0, kCamera.y0, &passes));
    EXPECT_EQ(passes.distances, 0);
    EXPECT_EQ(passes.centre, 0);
    // Centre = mean of P_k + 0.1 * v_k / |v_k|.
    long double expected[3] = {0, 0, 0};
    for (int k = 1; k <= 4; ++k) {
        const long double v[3] = {table->GetPrvek(k, 5) - kCamera.x0,
                                  table->GetPrvek(k, 6) + kCamera.y0, kCamera.f};
        const long double n = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        for (int j = 0; j < 3; ++j) expected[j] += table->GetPrvek(k, j + 2) + 0.1L * v[j] / n;
    }
    for (int j = 0; j < 3; ++j)
        EXPECT_TRUE(IsNearRel(o->GetPrvek(1, 10 + j), expected[j] / 4, 1e-15L)) << j;
}

TEST(SpaceResection, DegenerateInputFails) {
    // f = 0 and a point measured at the principal point: a ray of length
    // zero, whose angle to the others is 0/0.
    MatPtr zeroRay = MakeMatrix({{1, 0, 0, 0, 0.3L, 0.2L},
                                 {2, 10, 0, 1.5L, 1, 1},
                                 {3, 10, 8, -1, -1, 1},
                                 {4, 0, 8, 2, 1, -1}});
    MatPtr o;
    EXPECT_FALSE(SpaceResectionImage(*zeroRay, o, 0.1L, 0, 0.3L, -0.2L));
    // Four coincident points seen along one ray: nothing fixes the
    // distances, the centre or the rotation.
    MatPtr coincident = MakeMatrix({{1, 5, 5, 5, 0.5L, -0.25L},
                                    {2, 5, 5, 5, 0.5L, -0.25L},
                                    {3, 5, 5, 5, 0.5L, -0.25L},
                                    {4, 5, 5, 5, 0.5L, -0.25L}});
    EXPECT_FALSE(SpaceResectionImage(*coincident, o, 0.1L, 1, 0.5L, 0.25L));
    ASSERT_TRUE(o);
    for (long double v : o->prvky) EXPECT_TRUE(std::isfinite(v));
}

TEST(SpaceResection, ImagesInTurn) {
    const TrueImage a{0.05L, -0.08L, 0.3L, 4.0L, 3.5L, 20.0L};
    const TrueImage b{-0.1L, 0.05L, -0.4L, 6.0L, 2.0L, 25.0L};
    MatPtr counts, ranges;
    MatPtr table = ControlTable({a, b}, kCamera, kPoints, 0.001L, 3, counts, ranges);
    MatPtr o;
    ASSERT_TRUE(SpaceResection(table.get(), counts.get(), o, 0.1L, kCamera.f, kCamera.x0, kCamera.y0));
    ASSERT_EQ(o->r, 2);
    ASSERT_EQ(o->s, 16);
    EXPECT_LT(CentreError(*o, 1, a), 0.05L);
    EXPECT_LT(CentreError(*o, 2, b), 0.05L);

    MatPtr tooShort = MakeMatrix({{1, 0, 0, 0, 0, 0}});
    EXPECT_FALSE(SpaceResection(tooShort.get(), counts.get(), o, 0.1L, kCamera.f, 0, 0));
}

}  // namespace
}  // namespace pelvanor
