#include "adjustment/bundle_adjustment.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "adjustment/point_selection.h"
#include "bundle_scene.h"
#include "matrix/arithmetic.h"

namespace pelvanor {
namespace {

using namespace pelvanor::test;

TEST(BundleAdjust, NoisyBlockLandsOnTheTruthWithinItsSigmas) {
    Scene s = MakeScene(SmallOptions(11), 0.3L);
    Recorder rec;
    BundleOptions options;
    options.Solver = rec.Solver();
    BundleResult r = RunBundle(s.data, *s.startPoints, *s.startOrientations, false, 4, options);
    ASSERT_TRUE(r.ok);
    const int p = r.pointList->r;
    const int m = static_cast<int>(s.project.stations.size());
    // Control points measured on two or more images first, then the tie points.
    EXPECT_EQ(p, s.data.controlIndex->r + s.data.tieIndex->r);
    EXPECT_EQ(r.unknowns->r, 3 * p + 6 * m);
    EXPECT_EQ(r.imageIndex->GetPrvek(2, 1), 3.0L * p + 7.0L);
    EXPECT_EQ(r.imageIndex->GetPrvek(2, 2), 3.0L * p + 12.0L);
    EXPECT_EQ(r.pointIndex->GetPrvek(3, 2), 7.0L);
    EXPECT_EQ(r.pointIndex->GetPrvek(3, 3), 9.0L);
    EXPECT_EQ(r.redundancy, rec.last.n - rec.last.u);
    EXPECT_EQ(rec.last.fixed, 12);
    EXPECT_EQ(r.passes, rec.calls);
    EXPECT_GE(r.passes, 3);
    EXPECT_LE(r.passes, 21);
    ExpectM0Near(r.m0, 0.3L, r.redundancy);

    // The fixed coordinates are the known ones, exactly.
    for (int i = 1; i <= 4; ++i) {
        const long long id = std::llround(static_cast<double>(r.pointList->GetPrvek(i, 1)));
        const auto& pt = s.project.control_points[static_cast<std::size_t>(id - 1)];
        EXPECT_EQ(r.unknowns->GetPrvek(3 * i - 2, 1), pt.X);
        EXPECT_EQ(r.unknowns->GetPrvek(3 * i - 1, 1), pt.Y);
        EXPECT_EQ(r.unknowns->GetPrvek(3 * i, 1), pt.Z);
    }
    Accuracy acc = AccuracyOf(s, *r.pointList, r.m0, rec.last, 6);
    ASSERT_EQ(acc.sigma.size(), static_cast<std::size_t>(r.unknowns->r));
    EXPECT_EQ(CountWithin(acc, *r.unknowns, 5.0L, 13, r.unknowns->r), 0);
}

// One body over the two implementations of a pass: the sparse solver and the
// dense products must agree bit for bit, through whole adjustments.
TEST(BundleAdjust, PassLimitIsTestedBeforeTheCountAdvances) {
    Scene s = MakeScene(SmallOptions(3), 0.3L);
    {
        Recorder rec;
        BundleOptions options;
        options.MaxIterations = 0;
        options.Solver = rec.Solver();
        BundleResult r = RunBundle(s.data, *s.startPoints, *s.startOrientations, false, 4, options);
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.passes, 1);
        // One pass applies half of the Gauss-Newton correction from the start values.
        std::vector<long double> d, v;
        long double vtv = 0.0L;
        ASSERT_TRUE(DensePass(rec.last, nullptr, false, d, v, vtv));
        const int p = r.pointList->r;
        for (int j = 1; j <= static_cast<int>(s.project.stations.size()); ++j) {
            const int first = 3 * p + 6 * j - 5;
            EXPECT_TRUE(IsNearRel(r.unknowns->GetPrvek(first, 1),
                                      s.startOrientations->GetPrvek(j, 10) + 0.5L * d[static_cast<std::size_t>(first - 1)],
                                      1e-15L));
        }
        for (int i = 1; i <= r.weights->r; ++i) EXPECT_EQ(r.weights->GetPrvek(i, 1), 1.0L);
    }
    {
        BundleOptions options;
        options.MaxIterations = 20;
        options.Tolerance = -1.0L;  // never met
        BundleResult r = RunBundle(s.data, *s.startPoints, *s.startOrientations, false, 4, options);
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.passes, 21);
        EXPECT_TRUE(r.summary.passesEnded && r.summary.limitReached);
        EXPECT_EQ(r.summary.message, "pass limit reached after 21 passes, m0 still changing beyond the tolerance");
    }
    {
        BundleOptions options;
        options.Tolerance = 100.0L;  // the initial change of 100 is not above it: no pass
        BundleResult r = RunBundle(s.data, *s.startPoints, *s.startOrientations, false, 4, options);
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.passes, 0);
        EXPECT_EQ(r.unknowns->GetPrvek(3 * r.pointList->r + 1, 1), s.startOrientations->GetPrvek(1, 10));
        EXPECT_EQ(r.m0, 0.0L);
        EXPECT_FALSE(r.summary.limitReached);
        EXPECT_FALSE(r.summary.residuals);
    }
}

TEST(BundleAdjust, FixedCountIsClampedAndZeroLeavesTheNormalMatrixUnbordered) {
    Scene s = MakeScene(SmallOptions(4), 0.3L);
    const int c = s.data.controlIndex->r;
    for (const int fixed : {0, 2, 1000}) {
        Recorder rec;
        BundleOptions options;
        // One pass: without a datum (fixed 0) later passes run away.
        options.MaxIterations = 0;
        options.Solver = rec.Solver();
        BundleResult r = RunBundle(s.data, *s.startPoints, *s.startOrientations, false, fixed, options);
        ASSERT_TRUE(r.ok) << fixed;
        EXPECT_EQ(rec.last.fixed, 3 * std::min(fixed, c)) << fixed;
        const int b = std::min(fixed, c);
        for (int i = 1; i <= b; ++i) {
            const int row = RoundId(r.pointList->GetPrvek(i, 2));
            for (int q = 0; q < 3; ++q)
                EXPECT_EQ(r.unknowns->GetPrvek(3 * i - 2 + q, 1), s.data.control->GetPrvek(row, 2 + q));
        }
    }
}

TEST(BundleAdjust, ControlPointsAreMatchedByNumberNotByRow) {
    synth::Options o = SmallOptions(51);
    synth::Project project;
    o.sigma = 0.3L / kScale;
    o.distortion = false;
    ASSERT_TRUE(synth::Generate(o, project));
    Scene base = MakeScene(o, 0.3L);

    // Image 1's control file starts with a point seen nowhere else, then
    // lists its points in reverse.
    auto& first = project.images[0].control;
    std::reverse(first.begin(), first.end());
    synth::Observation lone = first.front();
    lone.id = 77;
    first.insert(first.begin(), lone);
    project.control_points.push_back({77, 1.0L, 2.0L, 3.0L});
    BundleData data = FromSynth(project, kScale);
    ASSERT_EQ(data.controlTable->r, data.controlIndex->r + 1);

    BundleOptions options;
    BundleResult a = RunBundle(base.data, *base.startPoints, *base.startOrientations, false, 4, options);
    BundleResult b = RunBundle(data, *base.startPoints, *base.startOrientations, false, 4, options);
    ASSERT_TRUE(a.ok);
    ASSERT_TRUE(b.ok);
    EXPECT_EQ(a.redundancy, b.redundancy);
    EXPECT_EQ(a.weights->r, b.weights->r);
    // The fixed points of the reordered run are the last control points of
    // image 1, each with its own known coordinates.
    for (int i = 1; i <= 4; ++i) {
        const long long id = std::llround(static_cast<double>(b.pointList->GetPrvek(i, 1)));
        ASSERT_NE(id, 77);
        const auto& pt = project.control_points[static_cast<std::size_t>(id - 1)];
        EXPECT_EQ(b.unknowns->GetPrvek(3 * i - 2, 1), pt.X);
        EXPECT_EQ(b.unknowns->GetPrvek(3 * i, 1), pt.Z);
    }
    // Another datum, another constrained solution: both fit the noise.
    ExpectM0Near(b.m0, 0.3L, b.redundancy);
    // Same orientations to well inside their precision.
    const int pa = a.pointList->r, pb = b.pointList->r;
    ASSERT_EQ(pa, pb);
    for (int j = 1; j <= o.images; ++j)
        for (int q = 0; q < 3; ++q)
            EXPECT_NEAR(static_cast<double>(a.unknowns->GetPrvek(3 * pa + 6 * j - 5 + q, 1)),
                        static_cast<double>(b.unknowns->GetPrvek(3 * pb + 6 * j - 5 + q, 1)), 0.05);
}

// A tie point takes its start values from the last row of the start table
// whose number equals its own exactly, wherever that row stands: the
// adjustment looks the rows up through a sorted index, the reference below
// scans the table.  With a zero correction the returned unknowns are the
// start values themselves.
TEST(BundleAdjust, StartRowsAreFoundLikeAScanFindsThem) {
    Scene s = MakeScene(SmallOptions(23), 0.3L);
    const Matice& clean = *s.startPoints;
    std::vector<std::vector<long double>> rows;
    const auto rowOf = [&](int r, long double dNumber, long double dXYZ) {
        std::vector<long double> row(8);
        for (int j = 1; j <= 8; ++j) row[j - 1] = clean.GetPrvek(r, j) + (j >= 2 && j <= 4 ? dXYZ : 0.0L);
        row[0] = clean.GetPrvek(r, 1) + dNumber;
        return row;
    };
    for (int r = 1; r <= clean.r; r += 3) rows.push_back(rowOf(r, 0.0L, 100.0L));  // earlier: loses
    for (int r = clean.r; r >= 1; --r) {
        rows.push_back(rowOf(r, 0.0L, 0.0L));
        if (r % 4 == 0) rows.push_back(rowOf(r, 0.25L, -50.0L));  // rounds equal, is not equal
        if (r == 2) rows.push_back(rowOf(r, 0.0L, 0.5L));          // later: wins
    }
    rows.push_back({std::numeric_limits<long double>::quiet_NaN(), 1, 2, 3, 0, 0, 0, 0});
    rows.push_back({-0.0L, 4, 5, 6, 0, 0, 0, 0});
    auto messy = NewMatrix(static_cast<std::uint16_t>(rows.size()), 8);
    for (std::size_t i = 0; i < rows.size(); ++i)
        for (int j = 1; j <= 8; ++j) messy->SetPrvek(static_cast<int>(i) + 1, j, rows[i][j - 1]);

    // The reference: for every tie point, the last row holding its number.
    const Matice& tie = *s.data.tieIndex;
    auto reference = NewMatrix(tie.r, 8);
    for (int b = 1; b <= tie.r; ++b) {
        int found = 0;
        for (int r = 1; r <= messy->r; ++r)
            if (messy->GetPrvek(r, 1) == tie.GetPrvek(b, 1)) found = r;
        ASSERT_NE(found, 0);
        for (int j = 1; j <= 8; ++j) reference->SetPrvek(b, j, messy->GetPrvek(found, j));
    }

    BundleOptions options;
    options.MaxIterations = 0;
    options.Solver = [](const BundleRows& r, const std::vector<long double>*, bool, std::vector<long double>& d,
                        std::vector<long double>& v, long double& vtv) {
        d.assign(static_cast<std::size_t>(r.u), 0.0L);
        v = r.l;
        vtv = 0.0L;
        for (const long double x : v) vtv = x * x + vtv;
        return true;
    };
    BundleResult a = RunBundle(s.data, *messy, *s.startOrientations, false, 4, options);
    BundleResult b = RunBundle(s.data, *reference, *s.startOrientations, false, 4, options);
    ASSERT_TRUE(a.ok);
    ASSERT_TRUE(b.ok);
    ASSERT_EQ(a.unknowns->r, b.unknowns->r);
    for (int k = 1; k <= a.unknowns->r; ++k)
        EXPECT_TRUE(SameBits(a.unknowns->GetPrvek(k, 1), b.unknowns->GetPrvek(k, 1))) << k;
    // The later duplicate of the second row won.
    const int p = a.pointList->r;
    const int c = p - tie.r;
    EXPECT_EQ(a.unknowns->GetPrvek(3 * (c + 2) - 2, 1), clean.GetPrvek(2, 2) + 0.5L);

    // A tie point without a row of its own number fails the adjustment.
    for (int r = 1; r <= messy->r; ++r)
        if (messy->GetPrvek(r, 1) == tie.GetPrvek(1, 1)) messy->SetPrvek(r, 1, 0.5L);
    EXPECT_FALSE(RunBundle(s.data, *messy, *s.startOrientations, false, 4, options).ok);
}

TEST(BundleAdjust, ControlPointsAloneWhenNoTiePointEnters) {
    synth::Options o = SmallOptions(61);
    o.control = 10;
    Scene s = MakeScene(o, 0.3L);
    BundleData& d = s.data;
    d.tieIndex = NewMatrix(1, 1);
    d.tieCounts = NewMatrix(1, 1);
    BundleOptions options;
    BundleResult r = RunBundle(d, *NewMatrix(1, 1), *s.startOrientations, false, 4, options);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.pointList->r, d.controlIndex->r);
    EXPECT_EQ(r.pointList->s, 2 * o.images + 1);
    ExpectM0Near(r.m0, 0.3L, r.redundancy);
    for (int j = 1; j <= o.images; ++j) {
        const auto& st = s.project.stations[static_cast<std::size_t>(j - 1)];
        EXPECT_NEAR(static_cast<double>(r.unknowns->GetPrvek(3 * r.pointList->r + 6 * j - 5, 1)),
                    static_cast<double>(st.X0), 0.05);
    }

    // No point at all: a clean failure.
    d.controlIndex = NewMatrix(1, 1);
    BundleResult none = RunBundle(d, *NewMatrix(1, 1), *s.startOrientations, false, 4, options);
    EXPECT_FALSE(none.ok);
}

TEST(BundleAdjust, FewerObservationsThanUnknownsIsReportedAndFails) {
    // Two images, four control points: 16 rows against 12 + 12 unknowns.
    Rows c1, c2;
    const long double P[4][3] = {{0, 0, 0}, {10, 0, 1}, {0, 10, 2}, {10, 10, 0}};
    for (int k = 0; k < 4; ++k) {
        c1.push_back({static_cast<long double>(k + 1), P[k][0], P[k][1], P[k][2], 0.1L * k, 0.2L});
        c2.push_back({static_cast<long double>(k + 1), P[k][0], P[k][1], P[k][2], 0.1L * k, -0.2L});
    }
    BundleData d = BuildData({c1, c2}, {{}, {}}, 0, 0, 1);
    auto orient = MakeMatrix({{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 20}, {1, 0, 0, 0, 1, 0, 0, 0, 1, 5, 0, 20}});
    std::vector<std::string> messages;
    BundleOptions options;
    options.Message = [&](const std::string& m) { messages.push_back(m); };
    BundleResult r = RunBundle(d, *NewMatrix(1, 1), *orient, false, 4, options);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.redundancy, -8);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Chyba - menší počet meření než neznámých");
}

TEST(BundleAdjust, ProblemBeyondTheMemoryFailsBeforeAnyPass) {
    Scene s = MakeScene(SmallOptions(71), 0.3L);
    Recorder sizes;
    BundleOptions options;
    options.MaxIterations = 0;
    options.Solver = sizes.Solver();
    ASSERT_TRUE(RunBundle(s.data, *s.startPoints, *s.startOrientations, false, 4, options).ok);
    const long double need = BundleMemoryEstimate(sizes.last.n, sizes.last.u, sizes.last.fixed, 6);
    // The bordered matrix and its pseudo-inverse's workspace at least.
    const long double order = sizes.last.u + sizes.last.fixed;
    EXPECT_GE(need, 8.0L * order * order * sizeof(long double));

    Recorder rec;
    options.Solver = rec.Solver();
    options.MemoryLimit = 0.99L * need;
    BundleResult r = RunBundle(s.data, *s.startPoints, *s.startOrientations, false, 4, options);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(rec.calls, 0);
    options.MemoryLimit = need;
    EXPECT_TRUE(RunBundle(s.data, *s.startPoints, *s.startOrientations, false, 4, options).ok);
    EXPECT_EQ(rec.calls, 1);
    EXPECT_GT(AvailableMemory(), 1.0e6L);
}

TEST(BundleAdjust, RunawaySolutionIsAFailure) {
    Scene s = MakeScene(SmallOptions(81), 0.3L);
    for (const long double growth : {10.0L, 1.0e4L}) {
        // A solver whose residuals grow by `growth` per pass: m0 after three
        // passes is growth^2 times that of the first.
        int pass = 0;
        BundleWorkspace ws;
        BundleOptions options;
        options.MaxIterations = 2;
        options.Tolerance = -1.0L;
        options.Solver = [&](const BundleRows& rows, const std::vector<long double>* w, bool halve,
                             std::vector<long double>& d, std::vector<long double>& v, long double& vtv) {
            const bool ok = SolveBundlePass(rows, w, halve, ws, d, v, vtv);
            vtv = vtv * std::pow(growth * growth, static_cast<long double>(pass++));
            return ok;
        };
        BundleResult r = RunBundle(s.data, *s.startPoints, *s.startOrientations, false, 4, options);
        EXPECT_EQ(r.passes, 3);
        EXPECT_EQ(r.ok, growth < 20.0L) << static_cast<double>(growth);
        EXPECT_EQ(r.summary.failure, r.ok ? AdjustmentFailure::None : AdjustmentFailure::Divergence);
    }
}

}  // namespace
}  // namespace pelvanor
