#include "orientation/distortion.h"

#include <gtest/gtest.h>

#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

using test::MakeMatrix;
using test::IsNearRel;

struct Camera {
    long double x0 = 0, y0 = 0, f = 0, k1 = 0, k2 = 0, k3 = 0, p1 = 0, p2 = 0;
};

// Corrects one point through both functions and checks that they agree.
void CorrectBoth(const Camera& c, long double x, long double y, long double& xc, long double& yc) {
    MatPtr image = MakeMatrix({{12, x, y, 99}});
    MatPtr control = MakeMatrix({{12, 1.5L, 2.5L, 3.5L, x, y}});
    MatPtr ri, rc;
    ASSERT_TRUE(CorrectImagePoints(image.get(), ri, c.x0, c.y0, c.f, c.k1, c.k2, c.k3, c.p1, c.p2));
    ASSERT_TRUE(
        CorrectControlPoints(control.get(), rc, c.x0, c.y0, c.f, c.k1, c.k2, c.k3, c.p1, c.p2));
    ASSERT_EQ(ri->r, 1);
    ASSERT_EQ(ri->s, 3);
    ASSERT_EQ(rc->s, 6);
    EXPECT_EQ(ri->GetPrvek(1, 1), 12);
    EXPECT_EQ(rc->GetPrvek(1, 1), 12);
    EXPECT_EQ(rc->GetPrvek(1, 2), 1.5L);
    EXPECT_EQ(rc->GetPrvek(1, 3), 2.5L);
    EXPECT_EQ(rc->GetPrvek(1, 4), 3.5L);
    EXPECT_EQ(ri->GetPrvek(1, 2), rc->GetPrvek(1, 5));
    EXPECT_EQ(ri->GetPrvek(1, 3), rc->GetPrvek(1, 6));
    xc = ri->GetPrvek(1, 2);
    yc = ri->GetPrvek(1, 3);
}

TEST(Distortion, NoCoefficientsOnlyReverseY) {
    MatPtr table = MakeMatrix({{1, 3, 2, 0}, {2, -4.25L, 7.5L, 1}, {3, 0, 0, 2}});
    MatPtr result;
    ASSERT_TRUE(CorrectImagePoints(table.get(), result, 0, 0, 50, 0, 0, 0, 0, 0));
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(result->GetPrvek(i, 1), table->GetPrvek(i, 1));
        EXPECT_EQ(result->GetPrvek(i, 2), table->GetPrvek(i, 2));
        EXPECT_EQ(result->GetPrvek(i, 3), -table->GetPrvek(i, 3));
    }
}

TEST(Distortion, WorkedExamples) {
    long double x = 0, y = 0;
    Camera radial;
    radial.x0 = 1;
    radial.y0 = 2;
    radial.k1 = 0.001L;
    CorrectBoth(radial, 3, 2, x, y);
    EXPECT_TRUE(IsNearRel(x, 3.008L, 1e-18L));
    EXPECT_EQ(y, -2);

    Camera p1;
    p1.p1 = 0.01L;
    CorrectBoth(p1, 1, 1, x, y);
    EXPECT_TRUE(IsNearRel(x, 1.06L, 1e-18L));
    EXPECT_EQ(y, -1);

    Camera p2;
    p2.p2 = 0.01L;
    CorrectBoth(p2, 1, 1, x, y);
    EXPECT_EQ(x, 1);
    EXPECT_TRUE(IsNearRel(y, -1.06L, 1e-18L));
}

TEST(Distortion, FullModelAgainstHandComputation) {
    Camera c;
    c.x0 = 0.12L;
    c.y0 = -0.3L;
    c.k1 = 2e-4L;
    c.k2 = -3e-7L;
    c.k3 = 5e-10L;
    c.p1 = 1e-5L;
    c.p2 = -2e-5L;
    const long double x = 7.5L, y = -4.25L;
    const long double xb = x - c.x0, yb = y - c.y0;
    const long double r2 = xb * xb + yb * yb;
    const long double dr = c.k1 * r2 + c.k2 * r2 * r2 + c.k3 * r2 * r2 * r2;
    const long double dx = xb * dr + c.p1 * (r2 + 2 * xb * xb) + 2 * c.p1 * xb * yb;
    const long double dy = yb * dr + c.p2 * (r2 + 2 * yb * yb) + 2 * c.p2 * xb * yb;
    long double xc = 0, yc = 0;
    CorrectBoth(c, x, y, xc, yc);
    EXPECT_TRUE(IsNearRel(xc, x + dx, 1e-17L));
    EXPECT_TRUE(IsNearRel(yc, -(y + dy), 1e-17L));
}

TEST(Distortion, PrincipalPointAndCameraConstant) {
    Camera c;
    c.x0 = 0.4L;
    c.y0 = -0.7L;
    c.k1 = 0.01L;
    c.k2 = 0.002L;
    c.p1 = 0.003L;
    c.p2 = 0.004L;
    long double x = 0, y = 0;
    // At the principal point r = 0: nothing to correct.
    CorrectBoth(c, 0.4L, -0.7L, x, y);
    EXPECT_EQ(x, 0.4L);
    EXPECT_EQ(y, 0.7L);
    // The camera constant plays no part.
    long double xa = 0, ya = 0, xb = 0, yb = 0;
    c.f = 10;
    CorrectBoth(c, 1.3L, 2.1L, xa, ya);
    c.f = 1000;
    CorrectBoth(c, 1.3L, 2.1L, xb, yb);
    EXPECT_EQ(xa, xb);
    EXPECT_EQ(ya, yb);
}

TEST(Distortion, MissingOrNarrowTableFails) {
    MatPtr result;
    EXPECT_FALSE(CorrectImagePoints(nullptr, result, 0, 0, 0, 0, 0, 0, 0, 0));
    EXPECT_FALSE(CorrectControlPoints(nullptr, result, 0, 0, 0, 0, 0, 0, 0, 0));
    MatPtr narrow = MakeMatrix({{1, 2, 3}});
    EXPECT_FALSE(CorrectImagePoints(narrow.get(), result, 0, 0, 0, 0, 0, 0, 0, 0));
    EXPECT_FALSE(CorrectControlPoints(narrow.get(), result, 0, 0, 0, 0, 0, 0, 0, 0));
    // Overflow is an error, not an infinity in the table.
    MatPtr huge = MakeMatrix({{1, 1e4000L, 0, 0}});
    EXPECT_FALSE(CorrectImagePoints(huge.get(), result, 0, 0, 0, 1, 0, 0, 0, 0));
}

}  // namespace
}  // namespace pelvanor
