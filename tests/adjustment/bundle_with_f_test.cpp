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

TEST(BundleAdjustWithF, EveryImageGetsItsOwnCameraConstantBack) {
    synth::Options o = SmallOptions(41);
    o.images = 4;
    o.control = 8;
    o.points = kSanitized ? 6 : 12;
    o.f_spread = 0.03L;
    Scene s = MakeScene(o, 0.3L);
    BundleOptions options;
    BundleResult first = RunBundle(s.data, *s.startPoints, *s.startOrientations, false, 4, options);
    // The held f misfits images whose own constant differs by up to 1 %.
    ASSERT_TRUE(first.ok);
    Recorder rec;
    options.Solver = rec.Solver();
    BundleResult r = RunBundleWithF(s.data, first, false, 4, 0.1L, options);
    ASSERT_TRUE(r.ok);
    const int p = first.pointList->r;
    EXPECT_EQ(r.unknowns->r, 3 * p + 7 * 4);
    EXPECT_EQ(r.imageIndex->GetPrvek(2, 1), 3.0L * p + 8.0L);
    EXPECT_EQ(r.imageIndex->GetPrvek(2, 2), 3.0L * p + 14.0L);
    EXPECT_LT(r.m0, 0.5L * first.m0);
    ExpectM0Near(r.m0, 0.3L, r.redundancy);
    Accuracy acc = AccuracyOf(s, *first.pointList, r.m0, rec.last, 7);
    ASSERT_FALSE(acc.sigma.empty());
    for (int j = 1; j <= 4; ++j) {
        const int fpos = 3 * p + 7 * j;
        const long double truth = s.project.stations[static_cast<std::size_t>(j - 1)].f * kScale;
        EXPECT_LE(std::fabs(r.unknowns->GetPrvek(fpos, 1) - truth), 5.0L * acc.sigma[static_cast<std::size_t>(fpos - 1)])
            << "image " << j;
        // Within a quarter per cent, against a spread of three per cent.
        EXPECT_LT(std::fabs(r.unknowns->GetPrvek(fpos, 1) - truth), 10.0L);
    }
    EXPECT_EQ(CountWithin(acc, *r.unknowns, 5.0L, 13, r.unknowns->r), 0);
    // Fixed coordinates reset exactly.
    for (int k = 1; k <= 12; ++k) EXPECT_EQ(r.unknowns->GetPrvek(k, 1), first.unknowns->GetPrvek(k, 1));
}

}  // namespace
}  // namespace pelvanor
