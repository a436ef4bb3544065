#include "orientation/plane_resection.h"

#include <cmath>

#include <gtest/gtest.h>

#include "tests/orientation/camera_scene.h"
#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

using namespace test;

const Interior kCamera{0.3L, -0.2L, 35.0L};
const TrueImage kImage{0.1L, -0.2L, 0.3L, 1.0L, 2.0L, 20.0L};
const std::vector<ObjectPoint> kPlane = {{1, 0, 0, 0}, {2, 10, 0, 0}, {3, 10, 8, 0}, {4, 0, 8, 0}};

long double Depth(const TrueImage& im, const ObjectPoint& p) {
    const auto r = RotationOf(im);
    return r[2] * (p.X - im.X0) + r[5] * (p.Y - im.Y0) + r[8] * (p.Z - im.Z0);
}

TEST(PlaneResection, ExactDataGiveTheOrientation) {
    MatPtr counts, ranges;
    MatPtr table = ControlTable({kImage}, kCamera, kPlane, 0, 1, counts, ranges);
    MatPtr o;
    ASSERT_TRUE(PlaneResectionImage(*table, o, kCamera.x0, kCamera.y0, kCamera.f));
    ASSERT_EQ(o->r, 1);
    ASSERT_EQ(o->s, 16);
    const auto r = RotationOf(kImage);
    for (int j = 0; j < 9; ++j)
        EXPECT_NEAR(static_cast<double>(o->GetPrvek(1, j + 1)), static_cast<double>(r[j]), 1e-10)
            << j;
    EXPECT_NEAR(static_cast<double>(o->GetPrvek(1, 10)), 1.0, 1e-9);
    EXPECT_NEAR(static_cast<double>(o->GetPrvek(1, 11)), 2.0, 1e-9);
    EXPECT_NEAR(static_cast<double>(o->GetPrvek(1, 12)), 20.0, 1e-9);
    EXPECT_EQ(o->GetPrvek(1, 13), 1.0L);
    const long double w1 = Depth(kImage, kPlane[0]);
    for (int k = 2; k <= 4; ++k)
        EXPECT_NEAR(static_cast<double>(o->GetPrvek(1, 12 + k)),
                    static_cast<double>(Depth(kImage, kPlane[static_cast<std::size_t>(k - 1)]) / w1),
                    1e-10)
            << k;
}

TEST(PlaneResection, ImagesInTurnAndZIgnored) {
    const TrueImage second{-0.05L, 0.15L, -1.2L, 6.0L, -3.0L, 30.0L};
    MatPtr counts, ranges;
    MatPtr table = ControlTable({kImage, second}, kCamera, kPlane, 0, 1, counts, ranges);
    MatPtr flat;
    ASSERT_TRUE(PlaneResection(table.get(), counts.get(), flat, kCamera.x0, kCamera.y0, kCamera.f));
    ASSERT_EQ(flat->r, 2);
    ASSERT_EQ(flat->s, 16);
    EXPECT_LT(RotationError(*flat, 1, kImage), 1e-10L);
    EXPECT_LT(RotationError(*flat, 2, second), 1e-10L);
    EXPECT_NEAR(static_cast<double>(flat->GetPrvek(2, 10)), 6.0, 1e-9);
    EXPECT_NEAR(static_cast<double>(flat->GetPrvek(2, 11)), -3.0, 1e-9);
    EXPECT_NEAR(static_cast<double>(flat->GetPrvek(2, 12)), 30.0, 1e-9);

    // Z values in the selected rows are not read: the points count as Z = 0.
    MatPtr lifted = MatPtr(new Matice(*table));
    for (int i = 1; i <= lifted->r; ++i) lifted->SetPrvek(i, 4, 5.0L * i);
    MatPtr same;
    ASSERT_TRUE(PlaneResection(lifted.get(), counts.get(), same, kCamera.x0, kCamera.y0, kCamera.f));
    EXPECT_EQ(same->prvky, flat->prvky);
}

TEST(PlaneResection, DegenerateInputFails) {
    // All four points at the origin: the rotation rows have zero length.
    MatPtr points = MakeMatrix({{1, 0, 0, 0, 0, 0}, {2, 0, 0, 0, 0, 0}, {3, 0, 0, 0, 0, 0},
                                {4, 0, 0, 0, 0, 0}});
    MatPtr o;
    EXPECT_FALSE(PlaneResectionImage(*points, o, 0, 0, 35));
    MatPtr counts = MakeMatrix({{4}, {4}});
    // Two images need eight selected rows; four are not enough.
    MatPtr table;
    MatPtr c1, r1;
    table = ControlTable({kImage}, kCamera, kPlane, 0, 1, c1, r1);
    EXPECT_FALSE(PlaneResection(table.get(), counts.get(), o, kCamera.x0, kCamera.y0, kCamera.f));
    ASSERT_TRUE(o);
    EXPECT_EQ(o->r, 2);
}

}  // namespace
}  // namespace pelvanor
