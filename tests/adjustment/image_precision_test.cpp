// The standard deviations of the adjusted exterior orientations against an
// independent bundle adjustment of the same block (the DBAT report of the
// real aerial block, which holds its 16 control points fixed, as the
// adjustment here does with 15 fixed points: the 16th is seen on image 1
// only and enters no bundle adjustment).

#include <cmath>
#include <cstdio>

#include <gtest/gtest.h>

#include "adjustment/bundle_adjustment.h"
#include "adjustment/image_precision.h"
#include "bundle_fixture.h"
#include "matrix/arithmetic.h"
#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

using namespace pelvanor::test;

constexpr long double kDegree = 3.14159265358979323846264338327950288L / 180.0L;

TEST(ImagePrecision, AerialBlockAgreesWithTheReferenceAdjustment) {
    if (RealDataPath("prague2016_sxb_fixed").empty()) GTEST_SKIP() << "real data not available";
    BundleData d = LoadReal("prague2016_sxb_fixed", "exact_noctrl");
    ReferenceEo ref = LoadReference("prague2016_sxb_fixed");
    MatPtr start = Perturb(*ref.orientation, 2.0L, 0.001L);
    MatPtr noPoints = NewMatrix(1, 1);
    BundleOptions control;
    const BundleResult r = RunBundle(d, *noPoints, *start, false, 15, control);
    ASSERT_TRUE(r.ok);

    MatPtr sigmas;
    ASSERT_TRUE(ImageStandardDeviations(d.control.get(), d.image.get(), r.pointList.get(), r.unknowns.get(),
                                        r.imageIndex.get(), 6, d.x0, d.y0, d.f, 15, nullptr, nullptr, r.m0, sigmas));
    ASSERT_EQ(sigmas->r, 5);
    ASSERT_EQ(sigmas->s, 6);
    // The reference divides the same sum of squares by its redundancy of 64
    // (its 47 measurements against 30 image unknowns); the cofactors are the
    // same, so its standard deviations are these scaled by its sigma0.
    const long double scale = 6.251e-3L / r.m0;
    for (int j = 1; j <= 5; ++j) {
        const auto& s = ref.sigma[static_cast<std::size_t>(j - 1)];
        for (int q = 0; q < 6; ++q) {
            // The angles of both are rotations about the x, y and z axes in
            // that order, in degrees there.
            const long double mine = sigmas->GetPrvek(j, q + 1) * scale / (q < 3 ? 1.0L : kDegree);
            const double ratio = static_cast<double>(mine / s[static_cast<std::size_t>(q)]);
            if (j == 1) {
                // Image 1 has one ray more in the reference (control point
                // 403): a further observation can only shrink a variance.
                EXPECT_GT(ratio, 0.99) << "image 1 unknown " << q;
            } else {
                // The reference prints three digits.
                EXPECT_NEAR(ratio, 1.0, 0.01) << "image " << j << " unknown " << q;
            }
        }
    }
}

}  // namespace
}  // namespace pelvanor
