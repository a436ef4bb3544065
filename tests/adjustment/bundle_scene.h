#pragma once
// Synthetic scenes for the bundle adjustment tests and the comparisons they share.

#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "adjustment/approximate_points.h"
#include "adjustment/bundle_adjustment.h"
#include "bundle_fixture.h"
#include "tests/support/test_util.h"

namespace pelvanor::test {


// Sanitized builds run the extended-precision kernels many times slower:
// their scenes are smaller.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif

// Image unit: pixels of a 6000 x 4000 frame, f = 4000.
constexpr long double kScale = 4000.0L;

struct Scene {
    synth::Project project;
    BundleData data;
    MatPtr startOrientations;
    MatPtr startPoints;
};

inline Scene MakeScene(synth::Options o, long double sigmaPx) {
    Scene s;
    o.sigma = sigmaPx / kScale;
    o.distortion = false;
    std::string error;
    EXPECT_TRUE(synth::Generate(o, s.project, &error)) << error;
    s.data = FromSynth(s.project, kScale);
    s.startOrientations = Perturb(*OrientationTable(s.project.stations), 0.005L, 0.0001L);
    EXPECT_TRUE(ApproximateObjectPoints(s.data.tieIndex.get(), s.data.tieCounts.get(), s.data.image.get(),
                                        s.startOrientations.get(), s.data.x0, s.data.y0, s.data.f, s.startPoints));
    return s;
}

inline synth::Options SmallOptions(std::uint64_t seed) {
    synth::Options o;
    o.images = 4;
    o.control = 6;
    o.points = kSanitized ? 6 : 10;
    o.seed = seed;
    return o;
}

inline bool SameBits(long double a, long double b) {
    return (a == b && std::signbit(a) == std::signbit(b)) || (std::isnan(a) && std::isnan(b));
}

inline void ExpectSameMatrix(const MatPtr& a, const MatPtr& b, const char* what) {
    ASSERT_TRUE(a && b) << what;
    ASSERT_EQ(a->r, b->r) << what;
    ASSERT_EQ(a->s, b->s) << what;
    for (std::size_t k = 0; k < a->prvky.size(); ++k) {
        ASSERT_TRUE(SameBits(a->prvky[k], b->prvky[k])) << what << " element " << k << ": "
                                                        << static_cast<double>(a->prvky[k]) << " vs "
                                                        << static_cast<double>(b->prvky[k]);
    }
}

// Truth of the points of the point list, and the sigma of every unknown from
// the cofactors of the last pass.
struct Accuracy {
    std::vector<long double> truth;
    std::vector<long double> sigma;
};

// pointList: that of BundleAdjust; m0 of the run the rows come from.
inline Accuracy AccuracyOf(const Scene& s, const Matice& pointList, long double m0, const BundleRows& lastRows,
                           int imageWidth) {
    Accuracy acc;
    const int p = pointList.r;
    const int m = static_cast<int>(s.project.stations.size());
    acc.truth.assign(static_cast<std::size_t>(3 * p + imageWidth * m), 0.0L);
    for (int i = 1; i <= p; ++i) {
        const long long id = std::llround(static_cast<double>(pointList.GetPrvek(i, 1)));
        bool found = false;
        for (const auto* list : {&s.project.control_points, &s.project.tie_points}) {
            for (const auto& pt : *list) {
                if (pt.id != id) continue;
                acc.truth[static_cast<std::size_t>(3 * i - 3)] = pt.X;
                acc.truth[static_cast<std::size_t>(3 * i - 2)] = pt.Y;
                acc.truth[static_cast<std::size_t>(3 * i - 1)] = pt.Z;
                found = true;
            }
        }
        EXPECT_TRUE(found) << id;
    }
    for (int j = 0; j < m; ++j) {
        const auto& st = s.project.stations[static_cast<std::size_t>(j)];
        const long double values[7] = {st.X0, st.Y0, st.Z0, st.alfa, st.beta, st.gama, st.f * kScale};
        for (int q = 0; q < imageWidth; ++q) {
            acc.truth[static_cast<std::size_t>(3 * p + imageWidth * j + q)] = values[q];
        }
    }
    MatPtr Q = ConstrainedCofactors(lastRows);
    EXPECT_TRUE(Q);
    if (!Q) return acc;
    for (int k = 1; k <= Q->r; ++k) acc.sigma.push_back(m0 * std::sqrt(std::fabs(Q->GetPrvek(k, k))));
    return acc;
}

// Runs the sparse solver and keeps the rows of the last pass.
struct Recorder {
    BundleRows last;
    int calls = 0;
    std::vector<bool> weighted;
    BundleWorkspace ws;
    BundlePassSolver Solver() {
        return [this](const BundleRows& rows, const std::vector<long double>* w, bool halve,
                      std::vector<long double>& d, std::vector<long double>& v, long double& vtv) {
            last = rows;
            ++calls;
            weighted.push_back(w != nullptr);
            return SolveBundlePass(rows, w, halve, ws, d, v, vtv);
        };
    }
};

inline int CountWithin(const Accuracy& acc, const Matice& unknowns, long double k, int first, int last) {
    int bad = 0;
    for (int i = first; i <= last; ++i) {
        const long double err = std::fabs(unknowns.GetPrvek(i, 1) - acc.truth[static_cast<std::size_t>(i - 1)]);
        const long double sig = acc.sigma[static_cast<std::size_t>(i - 1)];
        if (!(err <= k * sig)) {
            ++bad;
            ADD_FAILURE() << "unknown " << i << ": error " << static_cast<double>(err) << " sigma "
                          << static_cast<double>(sig);
        }
    }
    return bad;
}

}  // namespace pelvanor::test

namespace pelvanor::test {
// m0 of a run with redundancy r estimates sigma with a relative spread of
// about 1 / sqrt(2 r).
inline void ExpectM0Near(long double m0, long double sigma, std::int32_t redundancy) {
    const long double spread = sigma / std::sqrt(2.0L * static_cast<long double>(redundancy));
    EXPECT_LE(std::fabs(m0 - sigma), 4.0L * spread)
        << "m0 " << static_cast<double>(m0) << " redundancy " << redundancy;
}
}  // namespace pelvanor::test
