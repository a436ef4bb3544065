#include "adjustment/bundle_adjustment.h"

#include <algorithm>
#include <cmath>
#include <set>

#include <gtest/gtest.h>

#include "adjustment/point_selection.h"
#include "bundle_scene.h"
#include "matrix/arithmetic.h"

namespace pelvanor {
namespace {

using namespace pelvanor::test;

TEST(BundleAdjust, WithoutRobustEstimationTheWeightsAreReportedButNotUsed) {
    synth::Options o = SmallOptions(21);
    o.gross = 2;
    o.gross_size = 20.0L / kScale;
    Scene s = MakeScene(o, 0.3L);
    Recorder off;
    BundleOptions options;
    options.Solver = off.Solver();
    BundleResult r = RunBundle(s.data, *s.startPoints, *s.startOrientations, false, 4, options);
    ASSERT_TRUE(r.ok);
    for (bool w : off.weighted) EXPECT_FALSE(w);
    long double least = 1.0L;
    for (int i = 1; i <= r.weights->r; ++i) least = std::min(least, r.weights->GetPrvek(i, 1));
    EXPECT_LT(least, 0.5L);

    Recorder on;
    options.Solver = on.Solver();
    BundleResult w = RunBundle(s.data, *s.startPoints, *s.startOrientations, true, 4, options);
    ASSERT_TRUE(w.ok);
    for (bool x : on.weighted) EXPECT_TRUE(x);
    EXPECT_NE(w.unknowns->GetPrvek(13, 1), r.unknowns->GetPrvek(13, 1));
}

TEST(BundleAdjust, RobustWeightsFlagExactlyThePointsWithGrossErrors) {
    for (const std::uint64_t seed : {31u, 32u}) {
        synth::Options o = SmallOptions(seed);
        o.images = 4;
        o.points = kSanitized ? 10 : 16;
        o.gross = 2;
        o.gross_size = 25.0L / kScale;
        Scene s = MakeScene(o, 0.3L);
        BundleOptions options;
        BundleResult r = RunBundle(s.data, *s.startPoints, *s.startOrientations, true, 4, options);
        ASSERT_TRUE(r.ok);
        MatPtr ci, cc, out;
        ASSERT_TRUE(SelectOutliers(r.pointList.get(), s.data.tieIndex.get(), s.data.controlCounts.get(), 50.0L,
                                   s.data.tieCounts.get(), s.data.controlTable.get(), r.weights.get(), 4, ci, cc,
                                   out));
        std::set<long long> flagged, injected;
        for (int i = 1; i <= out->r; ++i) flagged.insert(std::llround(static_cast<double>(out->GetPrvek(i, 1))));
        for (const auto& g : s.project.gross_errors) injected.insert(g.id);
        EXPECT_EQ(flagged, injected) << "seed " << seed;
        EXPECT_EQ(ci->r, s.data.tieIndex->r - 2);
    }
}

TEST(BundleAdjustWithF, RobustRunNeedsOneWeightPerRow) {
    Scene s = MakeScene(SmallOptions(42), 0.3L);
    BundleOptions options;
    BundleResult first = RunBundle(s.data, *s.startPoints, *s.startOrientations, true, 4, options);
    ASSERT_TRUE(first.ok);
    first.weights = NewMatrix(static_cast<std::uint16_t>(first.weights->r - 2), 1);
    BundleResult r = RunBundleWithF(s.data, first, true, 4, 0.1L, options);
    EXPECT_FALSE(r.ok);
    BundleResult u = RunBundleWithF(s.data, first, false, 4, 0.1L, options);
    EXPECT_TRUE(u.ok);
}

// The control points are matched by number: a control file that lists its
// points in another order, or starts with a point measured on that image
// only, changes nothing but the order of the list.

}  // namespace
}  // namespace pelvanor
