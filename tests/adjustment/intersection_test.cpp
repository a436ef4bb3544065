#include "adjustment/intersection.h"

#include <cmath>

#include <gtest/gtest.h>

#include "bundle_scene.h"
#include "matrix/arithmetic.h"

namespace pelvanor {
namespace {

using namespace pelvanor::test;

// Unknown vector and image index holding only the stations' orientations
// (and camera constants with `withF`), as BundleAdjust lays them out.
void TruthUnknowns(const synth::Project& p, bool withF, MatPtr& unknowns, MatPtr& index) {
    const int m = static_cast<int>(p.stations.size());
    const int w = withF ? 7 : 6;
    unknowns = NewMatrix(static_cast<std::uint16_t>(w * m), 1);
    index = NewMatrix(static_cast<std::uint16_t>(m), 2);
    for (int j = 1; j <= m; ++j) {
        const auto& st = p.stations[static_cast<std::size_t>(j - 1)];
        const long double v[7] = {st.X0, st.Y0, st.Z0, st.alfa, st.beta, st.gama, st.f * kScale};
        for (int q = 0; q < w; ++q) unknowns->SetPrvek(w * (j - 1) + q + 1, 1, v[q]);
        index->SetPrvek(j, 1, w * j - w + 1);
        index->SetPrvek(j, 2, w * j);
    }
}

const synth::ObjectPoint& TruthOf(const synth::Project& p, long double number) {
    for (const auto& pt : p.tie_points)
        if (pt.id == std::llround(static_cast<double>(number))) return pt;
    ADD_FAILURE() << "no point " << static_cast<double>(number);
    return p.tie_points.front();
}

TEST(SpatialIntersection, PointsLandOnTheTruthWithinTheirPrecision) {
    synth::Options o = SmallOptions(91);
    o.points = 30;
    Scene s = MakeScene(o, 0.3L);
    MatPtr unknowns, index;
    TruthUnknowns(s.project, false, unknowns, index);
    MatPtr start;
    ASSERT_TRUE(ApproximatePointsFromBundle(s.data.tieIndex.get(), s.data.tieCounts.get(), s.data.image.get(),
                                            unknowns.get(), index.get(), s.data.x0, s.data.y0, s.data.f, start));
    ASSERT_EQ(start->r, s.data.tieIndex->r);
    const MatPtr rays = MatCopy(*start);
    MatPtr result;
    ASSERT_TRUE(IntersectPoints(s.data.image.get(), s.data.tieIndex.get(), s.data.tieCounts.get(), start.get(),
                                unknowns.get(), index.get(), 0.1L, s.data.x0, s.data.y0, s.data.f, 20, result));
    ASSERT_EQ(result->r, s.data.tieIndex->r);
    for (int o2 = 1; o2 <= result->r; ++o2) {
        const auto& pt = TruthOf(s.project, result->GetPrvek(o2, 1));
        const long double truth[3] = {pt.X, pt.Y, pt.Z};
        const long double m0 = result->GetPrvek(o2, 5);
        ASSERT_GT(m0, 0.0L);
        for (int q = 0; q < 3; ++q) {
            // The precision the known noise of 0.3 px gives: Mx / m0 = sqrt(Qxx).
            const long double sigma = 0.3L * result->GetPrvek(o2, 6 + q) / m0;
            EXPECT_LE(std::fabs(result->GetPrvek(o2, 2 + q) - truth[q]), 5.0L * sigma) << o2 << " " << q;
            // The start table carries the final coordinates; its m0 and
            // deviations stay those of the ray intersection.
            EXPECT_EQ(start->GetPrvek(o2, 2 + q), result->GetPrvek(o2, 2 + q));
            EXPECT_EQ(start->GetPrvek(o2, 6 + q), rays->GetPrvek(o2, 6 + q));
        }
        EXPECT_EQ(start->GetPrvek(o2, 5), rays->GetPrvek(o2, 5));
        // The ray intersection measures object-space distances, the
        // intersection image residuals.
        EXPECT_NE(result->GetPrvek(o2, 5), rays->GetPrvek(o2, 5));
    }
}

TEST(SpatialIntersection, OwnCameraConstantsAreUsedAndEqualOnesGiveTheSameResult) {
    synth::Options o = SmallOptions(92);
    o.f_spread = 0.03L;
    Scene s = MakeScene(o, 0.3L);
    MatPtr unknowns, index, unknownsF, indexF;
    TruthUnknowns(s.project, false, unknowns, index);
    TruthUnknowns(s.project, true, unknownsF, indexF);
    MatPtr startA, startB, a, b;
    ASSERT_TRUE(ApproximatePointsFromBundle(s.data.tieIndex.get(), s.data.tieCounts.get(), s.data.image.get(),
                                            unknowns.get(), index.get(), s.data.x0, s.data.y0, s.data.f, startA));
    startB = MatCopy(*startA);
    ASSERT_TRUE(IntersectPoints(s.data.image.get(), s.data.tieIndex.get(), s.data.tieCounts.get(), startA.get(),
                                unknowns.get(), index.get(), 0.1L, s.data.x0, s.data.y0, s.data.f, 20, a));
    ASSERT_TRUE(IntersectPointsWithF(s.data.image.get(), s.data.tieIndex.get(), s.data.tieCounts.get(),
                                     startB.get(), unknownsF.get(), indexF.get(), 0.1L, s.data.x0, s.data.y0, 20,
                                     b));
    // Each image's own constant fits the measurements, the nominal one does not.
    long double ma = 0.0L, mb = 0.0L;
    for (int r = 1; r <= a->r; ++r) {
        ma += a->GetPrvek(r, 5);
        mb += b->GetPrvek(r, 5);
    }
    EXPECT_LT(mb, 0.5L * ma);

    // All constants equal to f: the same numbers as with the nominal f.
    for (int j = 1; j <= indexF->r; ++j) unknownsF->SetPrvek(7 * j, 1, s.data.f);
    MatPtr startC = MatCopy(*startB), startD = MatCopy(*startB), c, d;
    ASSERT_TRUE(IntersectPoints(s.data.image.get(), s.data.tieIndex.get(), s.data.tieCounts.get(), startC.get(),
                                unknowns.get(), index.get(), 0.1L, s.data.x0, s.data.y0, s.data.f, 20, c));
    ASSERT_TRUE(IntersectPointsWithF(s.data.image.get(), s.data.tieIndex.get(), s.data.tieCounts.get(),
                                     startD.get(), unknownsF.get(), indexF.get(), 0.1L, s.data.x0, s.data.y0, 20,
                                     d));
    ExpectSameMatrix(c, d, "equal camera constants");
}

TEST(SpatialIntersection, PassLimitEndsAPointThatNeverSettles) {
    Scene s = MakeScene(SmallOptions(93), 0.3L);
    MatPtr unknowns, index;
    TruthUnknowns(s.project, false, unknowns, index);
    MatPtr start;
    ASSERT_TRUE(ApproximatePointsFromBundle(s.data.tieIndex.get(), s.data.tieCounts.get(), s.data.image.get(),
                                            unknowns.get(), index.get(), s.data.x0, s.data.y0, s.data.f, start));
    MatPtr limited = MatCopy(*start), settled = MatCopy(*start), a, b;
    // A tolerance no change can meet: every point stops after 4 passes.
    ASSERT_TRUE(IntersectPoints(s.data.image.get(), s.data.tieIndex.get(), s.data.tieCounts.get(), limited.get(),
                                unknowns.get(), index.get(), -1.0L, s.data.x0, s.data.y0, s.data.f, 3, a));
    ASSERT_TRUE(IntersectPoints(s.data.image.get(), s.data.tieIndex.get(), s.data.tieCounts.get(), settled.get(),
                                unknowns.get(), index.get(), 0.1L, s.data.x0, s.data.y0, s.data.f, 20, b));
    for (int r = 1; r <= a->r; ++r)  // columns 2 to 5: X Y Z and m0
        EXPECT_TRUE(test::ArraysNearRel({a->Row(r) + 1, 4}, {b->Row(r) + 1, 4}, 1e-9L)) << "row " << r;
}

TEST(SpatialIntersection, ExactFitAndEmptyTablesFail) {
    // Two images, identity rotations, centres (0, 0, 10) and (10, 0, 10),
    // f = 1: the point (5, 0, 0) is seen at x = +-0.5 exactly, so every
    // residual vanishes and the relative change of m0 is 0/0.
    auto image = MakeMatrix({{7, 0.5L, 0}, {7, -0.5L, 0}});
    auto index = MakeMatrix({{7, 1, 1, 2, 2}});
    auto counts = MakeMatrix({{7, 2}});
    auto unknowns = MakeMatrix({{0}, {0}, {10}, {0}, {0}, {0}, {10}, {0}, {10}, {0}, {0}, {0}});
    auto imageIndex = MakeMatrix({{1, 6}, {7, 12}});
    auto start = MakeMatrix({{7, 5, 0, 0, 0, 0, 0, 0}});
    MatPtr result;
    EXPECT_FALSE(IntersectPoints(image.get(), index.get(), counts.get(), start.get(), unknowns.get(),
                                 imageIndex.get(), 0.1L, 0, 0, 1, 20, result));
    // A little off the truth it converges to it.
    auto near = MakeMatrix({{7, 5.01L, 0.02L, -0.01L, 0, 0, 0, 0}});
    auto noisy = MakeMatrix({{7, 0.5L, 0.001L}, {7, -0.5L, 0}});
    ASSERT_TRUE(IntersectPoints(noisy.get(), index.get(), counts.get(), near.get(), unknowns.get(),
                                imageIndex.get(), 0.1L, 0, 0, 1, 20, result));
    EXPECT_LT(std::fabs(result->GetPrvek(1, 2) - 5.0L), 0.01L);
    EXPECT_GT(result->GetPrvek(1, 5), 0.0L);

    auto empty = NewMatrix(1, 1);
    EXPECT_FALSE(IntersectPoints(image.get(), empty.get(), empty.get(), start.get(), unknowns.get(),
                                 imageIndex.get(), 0.1L, 0, 0, 1, 20, result));
    EXPECT_FALSE(IntersectPointsWithF(image.get(), index.get(), counts.get(), start.get(), unknowns.get(),
                                      imageIndex.get(), 0.1L, 0, 0, 20, result));  // no seventh value
}

}  // namespace
}  // namespace pelvanor
