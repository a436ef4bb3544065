#pragma once
// A small hand-made project with every result of a full computation: two
// images, two control-point blocks, two tie points, one robust outlier and
// both bundle adjustments.  The values are chosen so that every number
// format has an exact, unambiguous text.

#include "project/project_state.h"
#include "tests/support/test_util.h"

namespace pelvanor::test {

namespace fixture_detail {

// Column vector of the given values.
inline MatPtr Column(std::initializer_list<long double> values) {
    MatPtr m = NewMatrix(static_cast<std::uint16_t>(values.size()), 1);
    int i = 1;
    for (long double v : values) m->SetPrvek(i++, 1, v);
    return m;
}

}  // namespace fixture_detail

// Default settings (robust estimation and camera constant on).
inline ProjectState MakeReportProject() {
    ProjectState s;
    s.Camera.f = 50.5L;
    s.Camera.x0 = 0.012L;
    s.Camera.y0 = -0.034L;
    s.Camera.k1 = 1.2e-5L;
    s.Camera.k2 = -3e-8L;
    s.Camera.k3 = 0.0L;
    s.Camera.p1 = 0.0001L;
    s.Camera.p2 = -2.5e-6L;

    s.ControlPointRanges = MakeMatrix({{1, 2}, {3, 4}});
    s.ControlPointsCorrected = MakeMatrix({{1, 0, 0, 0, -10.12345L, 5.5L},
                                           {2, 10, 0, 0, 8.25L, -4.75L},
                                           {3, 0, 10, 0.5L, -9.5L, 6.125L},
                                           {4, 10, 10, 1, 7, -3}});
    s.ImagePointRanges = MakeMatrix({{1, 2}, {3, 3}});
    s.ImagePointsCorrected = MakeMatrix({{101, 1.5L, -2.25L}, {102, 3, 4}, {101, -1.75L, 2.5L}});

    const long double c = 0.8660254037844386L;
    s.OrientationMinimal = MakeMatrix({{1, 0, 0, 0, 1, 0, 0, 0, 1, 100.5L, -20, 30, 0, 0, 0, 0},
                                       {c, -0.5L, 0, 0.5L, c, 0, 0, 0, 1, 1234.5678901L, -0.25L,
                                        45.0000004L, 0, 0, 0, 0}});
    s.OrientationRefined = MakeMatrix(
        {{0.9998477L, -0.0174524L, 0, 0.0174524L, 0.9998477L, 0, 0, 0, 1, 100.25L, -19.875L, 30.125L},
         {c, -0.5L, 0, 0.5L, c, 0, 0, 0, 1, 1234.5L, -0.125L, 45.5L}});
    s.OrientationSigma0 = fixture_detail::Column({0.0234L, 1.5L});
    s.RefinementIterations = 3;

    s.ApproxObjectPoints = MakeMatrix({{101, 10.5L, 20.25L, -3.125L, 0.001L, 0.002L, 0.003L, 0.004L},
                                       {102, -7.5L, 0, 12, 0.01L, 0.02L, 0.03L, 0.04L}});
    s.BundlePointOccurrences = MakeMatrix({{101, 1, 1, 3, 2}, {102, 2, 1, 0, 0}});
    s.RobustOutliers = MakeMatrix({{17, 3}});

    // Unknowns: X Y Z of two points, then six (seven) per image.
    s.BundleUnknowns = fixture_detail::Column({1, 2, 3, 4, 5, 6,
                               1000.5L, 2000, 50, 0.01L, -0.02L, 1.5707963L,
                               -12.75L, 0.5L, 3, -0.1234567891L, 0, 3.1415926535L});
    s.BundleImageIndex = MakeMatrix({{7, 12}, {13, 18}});
    s.BundleSigma0 = 0.0123L;
    s.BundleRedundancy = 12;
    s.BundleIterations = 4;
    s.BundleUnknownsF = fixture_detail::Column({1, 2, 3, 4, 5, 6,
                                1000.4L, 2000.1L, 49.9L, 0.011L, -0.021L, 1.5707L, 50.512345L,
                                -12.7L, 0.45L, 3.05L, -0.12L, 0.001L, 3.1416L, 50.49L});
    s.BundleImageIndexF = MakeMatrix({{7, 13}, {14, 20}});
    s.BundleSigma0F = 0.0111L;
    s.BundleRedundancyF = 10;
    s.BundleIterationsF = 5;

    s.ObjectPoints = MakeMatrix({{101, 10.5L, 20.25L, -3.125L, 0.012L, 0.001L, 0.002L, 0.003L},
                                 {102, -7.5L, 0, 12, 0.011L, 0.004L, 0.005L, 0.006L}});
    s.FTestResults = MakeMatrix({{1.25L, 3.4567L}, {4.5L, 3.4567L}});
    s.FTestPassed = MakeMatrix({{101, 10.5L, 20.25L, -3.125L, 0.012L, 0.001L, 0.002L, 0.003L}});
    return s;
}

}  // namespace pelvanor::test
