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

TEST(BundleAdjust, SparsePassesEqualTheDenseFormulationBitForBit) {
    synth::Options o = SmallOptions(5);
    o.images = 4;
    o.control = 6;
    o.points = kSanitized ? 5 : 8;
    o.gross = 1;
    o.gross_size = 8.0L / kScale;
    Scene s = MakeScene(o, 1.5L);
    for (const bool robust : {false, true}) {
        for (const int fixed : {0, 3, 99}) {
            // Four passes cover the unit, the first robust and the later
            // robust weights.
            BundleOptions sparse;
            sparse.MaxIterations = 3;
            BundleOptions dense = sparse;
            dense.Solver = DensePass;
            BundleResult a = RunBundle(s.data, *s.startPoints, *s.startOrientations, robust, fixed, sparse);
            BundleResult b = RunBundle(s.data, *s.startPoints, *s.startOrientations, robust, fixed, dense);
            if (fixed > 0) {
                EXPECT_TRUE(a.ok);
            }
            ASSERT_EQ(a.ok, b.ok);
            EXPECT_EQ(a.passes, b.passes);
            EXPECT_TRUE(SameBits(a.m0, b.m0));
            ExpectSameMatrix(a.unknowns, b.unknowns, "unknowns");
            ExpectSameMatrix(a.weights, b.weights, "weights");

            BundleResult af = RunBundleWithF(s.data, a, robust, fixed, 0.1L, sparse);
            BundleResult bf = RunBundleWithF(s.data, a, robust, fixed, 0.1L, dense);
            if (fixed > 0) {
                EXPECT_TRUE(af.ok);
            }
            ASSERT_EQ(af.ok, bf.ok);
            EXPECT_EQ(af.passes, bf.passes);
            EXPECT_TRUE(SameBits(af.m0, bf.m0));
            ExpectSameMatrix(af.unknowns, bf.unknowns, "unknowns with f");
            ExpectSameMatrix(af.weights, bf.weights, "weights with f");
        }
    }
}

}  // namespace
}  // namespace pelvanor
