// Surveyed control as weighted observations: one pass against the weighted
// least-squares solution of the design with the surveyed coordinates as
// rows of their own, the limits of the weights (fixed and free control),
// and the aerial block against the reference runs that weighted its control.

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <gtest/gtest.h>

#include "adjustment/approximate_points.h"
#include "adjustment/bundle_adjustment.h"
#include "adjustment/control_weighting.h"
#include "adjustment/image_precision.h"
#include "adjustment/schur_solve.h"
#include "bundle_scene.h"
#include "matrix/arithmetic.h"
#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

using namespace pelvanor::test;

// A scene whose surveyed control is off its truth by a few centimetres, in
// a pattern that no similarity transform absorbs.
Scene NoisyControlScene() {
    synth::Options o = SmallOptions(11);
    o.images = 4;
    o.control = 8;
    Scene s = MakeScene(o, 1.0L);
    Matice& control = *s.data.control;
    for (int r = 1; r <= control.r; ++r) {
        const long double number = control.GetPrvek(r, 1);
        for (int q = 0; q < 3; ++q) {
            const long double shift = 0.03L * std::sin(1.7L * number + 2.3L * q);
            control.SetPrvek(r, 2 + q, control.GetPrvek(r, 2 + q) + shift);
        }
    }
    return s;
}

ControlWeighting Weighting(long double imageSigma, long double xy, long double z) {
    ControlWeighting w;
    w.imageSigma = imageSigma;
    w.sigmaXY = xy;
    w.sigmaZ = z;
    return w;
}

// The rows with every surveyed coordinate as a row of its own, scaled by
// the square root of its weight: the same weighted least-squares problem,
// assembled and solved by the plain dense products.
BundleRows WithPriorsAsRows(const BundleRows& rows) {
    BundleRows out = rows;
    out.priors.clear();
    const std::int32_t width = rows.Width();
    const std::int32_t firstImage = *std::min_element(rows.imageColumn.begin(), rows.imageColumn.end());
    for (const BundleRows::PointPrior& prior : rows.priors) {
        for (int q = 0; q < 3; ++q) {
            if (prior.weight[q] == 0.0L) continue;
            const long double root = std::sqrt(prior.weight[q]);
            out.pointColumn.push_back(prior.column);
            out.imageColumn.push_back(firstImage);
            for (std::int32_t k = 0; k < width; ++k) out.a.push_back(k == q ? root : 0.0L);
            out.l.push_back(root * prior.l[q]);
            ++out.n;
        }
    }
    return out;
}

long double Largest(const std::vector<long double>& x) {
    long double m = 0.0L;
    for (long double e : x) m = std::fmax(m, std::fabs(e));
    return m;
}

TEST(ControlWeighting, APassSolvesTheWeightedLeastSquaresOfTheSurveyedCoordinates) {
    Scene s = NoisyControlScene();
    // Mixed weights: one point without weight in Z, one a check point.
    ControlWeighting w = Weighting(1.0L, 0.02L, 0.04L);
    const std::int64_t first = RoundId(s.data.controlIndex->GetPrvek(2, 1));
    const std::int64_t second = RoundId(s.data.controlIndex->GetPrvek(3, 1));
    w.points[first] = ControlPointAccuracy{{0.01L, 0.03L, 0.0L}, false};
    w.points[second] = ControlPointAccuracy{{0.0L, 0.0L, 0.0L}, true};
    for (const int fixed : {0, 1}) {
        SCOPED_TRACE(fixed);
        Recorder recorder;
        BundleOptions control;
        control.MaxIterations = 2;
        control.Weighting = &w;
        control.Solver = recorder.Solver();
        BundleResult r = RunBundle(s.data, *s.startPoints, *s.startOrientations, false, fixed, control);
        ASSERT_TRUE(r.ok);
        const BundleRows& rows = recorder.last;
        ASSERT_FALSE(rows.priors.empty());

        std::vector<long double> d1, v1, d2, v2, d3, v3;
        long double vtv1 = 0.0L, vtv2 = 0.0L, vtv3 = 0.0L;
        BundleWorkspace ws;
        ASSERT_TRUE(SolveBundlePass(rows, nullptr, false, ws, d1, v1, vtv1));
        SparseWorkspace sparse;
        ASSERT_TRUE(SolveBundlePassSparse(rows, nullptr, false, sparse, d2, v2, vtv2));
        ASSERT_TRUE(DensePass(WithPriorsAsRows(rows), nullptr, false, d3, v3, vtv3));

        const long double scale = Largest(d3);
        ASSERT_GT(scale, 0.0L);
        for (std::size_t k = 0; k < d1.size(); ++k) {
            EXPECT_LE(std::fabs(d1[k] - d3[k]), 1e-10L * scale) << "pseudo-inverse, unknown " << k;
            EXPECT_LE(std::fabs(d2[k] - d3[k]), 1e-10L * scale) << "elimination, unknown " << k;
        }
        for (std::size_t h = 0; h < v1.size(); ++h) EXPECT_LE(std::fabs(v1[h] - v3[h]), 1e-9L) << h;
        // v^T P v: the image rows and the surveyed coordinates.
        EXPECT_NEAR(static_cast<double>(vtv1), static_cast<double>(vtv3), 1e-10 * static_cast<double>(vtv3));
        EXPECT_NEAR(static_cast<double>(vtv2), static_cast<double>(vtv3), 1e-10 * static_cast<double>(vtv3));

        // The check point stands after the datum's candidates and carries no weight.
        const int c = [&] {
            int count = 0;
            for (int k = 1; k <= r.pointList->r; ++k)
                for (int col = 3; col <= r.pointList->s; col += 2)
                    if (RoundId(r.pointList->GetPrvek(k, col)) < 0) count = k;
            return count;
        }();
        EXPECT_EQ(RoundId(r.pointList->GetPrvek(c, 1)), second);
        for (const BundleRows::PointPrior& prior : rows.priors) EXPECT_NE(prior.column, 3 * (c - 1));
        // Every surveyed coordinate with a sigma is an observation.
        EXPECT_EQ(r.redundancy, rows.n + 3 * (c - 2 - fixed) + 2 - rows.u);
    }
}

// Unknowns of two runs on the same point list, compared in metres and
// radians (and relative to the camera constants, which are in pixels).
long double LargestDifference(const BundleResult& a, const BundleResult& b) {
    EXPECT_EQ(a.unknowns->r, b.unknowns->r);
    long double worst = 0.0L;
    for (int k = 1; k <= std::min(a.unknowns->r, b.unknowns->r); ++k) {
        const long double diff = std::fabs(a.unknowns->GetPrvek(k, 1) - b.unknowns->GetPrvek(k, 1));
        worst = std::fmax(worst, diff / std::fmax(1.0L, std::fabs(b.unknowns->GetPrvek(k, 1))));
    }
    return worst;
}

TEST(ControlWeighting, TinySigmasFixTheControlAndHugeOnesFreeIt) {
    Scene s = NoisyControlScene();
    const int c = s.data.controlIndex->r;
    BundleOptions converged;
    // Halved corrections: 2^-40 of the start's error remains.
    converged.MaxIterations = 40;
    converged.Tolerance = 0.0L;

    // sigma -> 0: every control point held at its survey.
    const BundleResult fixedAll = RunBundle(s.data, *s.startPoints, *s.startOrientations, false, c, converged);
    ASSERT_TRUE(fixedAll.ok);
    const ControlWeighting tight = Weighting(1.0L, 1e-7L, 1e-7L);
    BundleOptions weighted = converged;
    weighted.Weighting = &tight;
    for (const NormalSolve solve : {NormalSolve::Svd, NormalSolve::Sparse}) {
        weighted.Solve = solve;
        const BundleResult r = RunBundle(s.data, *s.startPoints, *s.startOrientations, false, 0, weighted);
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.redundancy, fixedAll.redundancy + 3 * c);
        EXPECT_LT(LargestDifference(r, fixedAll), 1e-6L);
    }

    // sigma -> infinity: the control beyond the three fixed points is free.
    const BundleResult free3 = RunBundle(s.data, *s.startPoints, *s.startOrientations, false, 3, converged);
    ASSERT_TRUE(free3.ok);
    const ControlWeighting loose = Weighting(1.0L, 1e6L, 1e6L);
    weighted.Weighting = &loose;
    weighted.Solve = NormalSolve::Svd;
    const BundleResult r = RunBundle(s.data, *s.startPoints, *s.startOrientations, false, 3, weighted);
    ASSERT_TRUE(r.ok);
    // A micrometre: a thousandth of the points' precision (1 pixel at 16 m).
    EXPECT_LT(LargestDifference(r, free3), 1e-6L);
    // The weighted run with the camera constant keeps its priors too.
    const BundleResult withF = RunBundleWithF(s.data, r, false, 3, 0.0L, weighted);
    const BundleResult freeF = RunBundleWithF(s.data, free3, false, 3, 0.0L, converged);
    ASSERT_TRUE(withF.ok && freeF.ok);
    EXPECT_EQ(withF.redundancy, freeF.redundancy + 3 * (c - 3));
    EXPECT_LT(LargestDifference(withF, freeF), 1e-6L);
}

// The reference runs weighted the control 2/2/4 cm with an a priori image
// sigma of 1 pixel = 0.006 mm and fixed nothing.
struct WeightedReference {
    const char* dataset;
    long double sigma0;
    std::int32_t redundancy;
    struct Centre {
        int image;
        long double xyz[3];
        long double sigma[3];
    };
    std::vector<Centre> centres;
};

void ExpectReference(const WeightedReference& ref, NormalSolve solve) {
    if (RealDataPath(ref.dataset).empty()) GTEST_SKIP() << "real data not available";
    BundleData d = LoadReal(ref.dataset, "exact_noctrl");
    ReferenceEo eo = LoadReference(ref.dataset);
    MatPtr start = Perturb(*eo.orientation, 2.0L, 0.001L);
    MatPtr points;
    if (d.tieIndex && !(d.tieIndex->r == 1 && d.tieIndex->GetPrvek(1, 1) == 0.0L)) {
        ASSERT_TRUE(ApproximateObjectPoints(d.tieIndex.get(), d.tieCounts.get(), d.image.get(), start.get(), d.x0,
                                            d.y0, d.f, points));
    } else {
        points = NewMatrix(1, 1);
    }
    const ControlWeighting w = Weighting(0.006L, 0.02L, 0.04L);
    BundleOptions control;
    control.Weighting = &w;
    control.Solve = solve;
    // Halved corrections: the change of m0 falls below 1e-6 % long after
    // the centres have settled to a millimetre.
    control.MaxIterations = 60;
    control.Tolerance = 1e-6L;
    const BundleResult r = RunBundle(d, *points, *start, false, 0, control);
    ASSERT_TRUE(r.ok);
    std::printf("%s: %d passes, m0/0.006 %.6Lf, redundancy %d\n", ref.dataset, r.passes, r.m0 / 0.006L,
                r.redundancy);
    EXPECT_EQ(r.redundancy, ref.redundancy);
    EXPECT_LE(std::fabs(r.m0 / 0.006L - ref.sigma0), 0.005L * ref.sigma0);
    for (const auto& centre : ref.centres) {
        const int first = RoundId(r.imageIndex->GetPrvek(centre.image, 1));
        for (int q = 0; q < 3; ++q) {
            const long double diff = r.unknowns->GetPrvek(first + q, 1) - centre.xyz[q];
            std::printf("  image %d coordinate %d: %+.6Lf m = %+.4Lf sigma\n", centre.image, q + 1, diff,
                        diff / centre.sigma[q]);
            EXPECT_LE(std::fabs(diff), 0.1L * centre.sigma[q]) << "image " << centre.image << " coordinate " << q;
        }
    }
    // The centres' standard deviations from the cofactor matrix, whose
    // datum the weighted control alone gives: the reference's (printed to
    // three digits; both m0 agree to a few hundredths of a per cent).
    MatPtr sigmas;
    ASSERT_TRUE(ImageStandardDeviations(d.control.get(), d.image.get(), r.pointList.get(), r.unknowns.get(),
                                        r.imageIndex.get(), 6, d.x0, d.y0, d.f, 0, nullptr, &w, r.m0, sigmas));
    for (const auto& centre : ref.centres)
        for (int q = 0; q < 3; ++q)
            EXPECT_NEAR(static_cast<double>(sigmas->GetPrvek(centre.image, q + 1) / centre.sigma[q]), 1.0, 0.01)
                << "image " << centre.image << " coordinate " << q;
}

TEST(ControlWeighting, AerialBlockWithoutTiePointsAgreesWithTheWeightedReference) {
    const WeightedReference ref{"prague2016_sxb_fixed", 0.984904L, 64,
                                {{1, {-118.602027L, 109.300619L, 1776.749771L}, {0.967L, 1.38L, 0.174L}}}};
    ExpectReference(ref, NormalSolve::Svd);
    ExpectReference(ref, NormalSolve::Sparse);
}

TEST(ControlWeighting, AerialBlockWithTiePointsAgreesWithTheWeightedReference) {
    if (kSanitized) GTEST_SKIP() << "1196 measurements: too slow in a sanitized build";
    const WeightedReference ref{"prague2016_sxb_smart", 1.07447L, 1267,
                                {{1, {-119.065186L, 107.581076L, 1776.720265L}, {0.628L, 0.854L, 0.137L}},
                                 {2, {282.711084L, 364.591603L, 1776.673761L}, {0.473L, 0.853L, 0.122L}}}};
    ExpectReference(ref, NormalSolve::Sparse);
}

}  // namespace
}  // namespace pelvanor
