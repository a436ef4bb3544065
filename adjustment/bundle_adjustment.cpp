#include "adjustment/bundle_adjustment.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <ctime>
#include <vector>

#include "matrix/arithmetic.h"
#include "matrix/elementary.h"
#include "matrix/fp_guard.h"
#include "orientation/collinearity.h"

namespace pelvanor {

namespace {

using Measurement = ListMeasurement;

// Number of measurements of row `row` of an index table (pairs with a
// non-zero image entry).
std::int32_t MeasurementCount(const Matice& table, std::int32_t row) {
    std::int32_t count = 0;
    for (std::int32_t col = 3; col <= table.s; col += 2) {
        if (RoundId(table.GetPrvek(row, col)) != 0) ++count;
    }
    return count;
}

// The rows of a start-coordinate table by point number, for the search of
// every tie point's start values: the last row whose column 1 equals the
// number exactly (as reals, not rounded), as a scan of all rows finds it, in
// O(log rows) per point instead of O(rows).
class StartRows {
public:
    explicit StartRows(const Matice& table) {
        rows_.reserve(table.r);
        for (std::int32_t r = 1; r <= table.r; ++r) {
            const long double number = table.GetPrvek(r, 1);
            // A NaN equals nothing; leaving it out also keeps the ordered
            // comparisons of the sort from raising the invalid-operation flag.
            if (number == number) rows_.push_back({number, r});
        }
        // Stable: rows of equal numbers stay in increasing row order.
        std::stable_sort(rows_.begin(), rows_.end(),
                         [](const Entry& a, const Entry& b) { return a.number < b.number; });
    }
    // 0 when no row holds the number.
    std::int32_t LastRowOf(long double number) const {
        if (!(number == number)) return 0;
        const auto after = std::upper_bound(
            rows_.begin(), rows_.end(), number,
            [](long double value, const Entry& e) { return value < e.number; });
        if (after == rows_.begin()) return 0;
        const Entry& last = *(after - 1);
        return last.number == number ? last.row : 0;
    }

private:
    struct Entry {
        long double number;
        std::int32_t row;
    };
    std::vector<Entry> rows_;
};

// A weighted control point measured on one image: its surveyed
// coordinates fix the position along its one ray.
struct SingleControl {
    long double number = 0.0L;
    std::int32_t row = 0;    // its row in the control table
    std::int32_t image = 0;  // 1-based
};

// The control points of the counts table that the index table lacks
// (measured on one image) and that are weighted in all three coordinates,
// in the order of the counts table, with the control table row and image
// of their measurement.  False when a row cannot be found.
bool SingleImageControl(const Matice& controlIndex, const Matice* controlCounts, const Matice& controlTable,
                        const Matice& imageRows, const ControlWeighting& weighting,
                        std::vector<SingleControl>& out) {
    out.clear();
    if (controlCounts == nullptr || controlCounts->s < 2) return true;
    for (std::int32_t r = 1; r <= controlCounts->r; ++r) {
        const std::int64_t number = RoundId(controlCounts->GetPrvek(r, 1));
        if (number <= 0 || RoundId(controlCounts->GetPrvek(r, 2)) != 1) continue;
        const ControlPointAccuracy a = weighting.Of(number);
        if (a.check || !(a.sigma[0] > 0.0L && a.sigma[1] > 0.0L && a.sigma[2] > 0.0L)) continue;
        bool indexed = false;
        for (std::int32_t k = 1; k <= controlIndex.r && !indexed; ++k) {
            indexed = RoundId(controlIndex.GetPrvek(k, 1)) == number;
        }
        if (indexed) continue;
        SingleControl single;
        single.number = controlCounts->GetPrvek(r, 1);
        for (std::int32_t row = 1; row <= controlTable.r && single.row == 0; ++row) {
            if (RoundId(controlTable.GetPrvek(row, 1)) == number) single.row = row;
        }
        if (single.row == 0) return false;
        // The image whose block of the control table holds the row.
        std::int64_t last = 0;
        for (std::int32_t j = 1; j <= imageRows.r; ++j) {
            last += RoundId(imageRows.GetPrvek(j, 1));
            if (single.row <= last) {
                single.image = j;
                break;
            }
        }
        if (single.image == 0) return false;
        out.push_back(single);
    }
    return true;
}

// Everything a run of the pass loop needs.
struct Problem {
    const std::vector<Measurement>* measurements = nullptr;
    std::int32_t m = 0;           // images
    std::int32_t p = 0;           // points
    std::int32_t b = 0;           // fixed points
    std::int32_t imageWidth = 6;  // 6, or 7 with the camera constant
    long double x0 = 0.0L;
    long double y0 = 0.0L;
    long double f = 0.0L;         // used with imageWidth 6
    bool halve = true;
    // Weights of the normal equations: the residual weights of this run
    // (BundleAdjust), a fixed vector (BundleAdjustWithF), or none (W = I).
    bool weighByResiduals = false;
    const std::vector<long double>* fixedWeights = nullptr;
    std::int32_t maxIterations = 0;
    long double tolerance = 0.0L;
    // Weighted control points observing their own unknowns, and the
    // a priori sigma of an image coordinate that scales their weights.
    const std::vector<ControlPrior>* priors = nullptr;
    long double imageSigma = 1.0L;
};

// Number of surveyed coordinates the priors observe.
std::int64_t PriorObservations(const std::vector<ControlPrior>& priors) {
    std::int64_t count = 0;
    for (const ControlPrior& prior : priors) count += prior.observations;
    return count;
}

// The problem of one adjustment: the camera model and the pass limits that
// both kinds of adjustment share; the caller sets the weighting and halving.
Problem MakeProblem(const std::vector<Measurement>& meas, std::int32_t m, std::int32_t p, std::int32_t b,
                    std::int32_t imageWidth, long double x0, long double y0, long double f,
                    std::int32_t maxIterations, long double tolerance) {
    Problem pr;
    pr.measurements = &meas;
    pr.m = m;
    pr.p = p;
    pr.b = b;
    pr.imageWidth = imageWidth;
    pr.x0 = x0;
    pr.y0 = y0;
    pr.f = f;
    pr.maxIterations = maxIterations;
    pr.tolerance = tolerance;
    return pr;
}

std::int32_t ImageColumn(const Problem& pr, std::int32_t image) {
    return 3 * pr.p + pr.imageWidth * image;
}

// What a run records on its way for the summary: the pass under way and,
// where the body stops without an AdjustmentFailure naming the reason, what
// stopped it.
struct RunRecord {
    AdjustmentFailure why = AdjustmentFailure::None;
    std::int32_t pass = 0;
    const char* stop = nullptr;
};

// The pass loop.  X holds the start values on entry and the result on
// return; its first 3b entries are the fixed coordinates.  The summary
// receives the eliminated passes and how the passes ended.
bool RunPasses(const Problem& pr, const BundleOptions& options, std::vector<long double>& X,
               Matice& weightsOut, std::int32_t& passes, long double& m0Out,
               std::vector<long double>& residuals, BundleSummary& summary, RunRecord& run) {
    const auto& meas = *pr.measurements;
    const std::int32_t n = 2 * static_cast<std::int32_t>(meas.size());
    const std::int32_t u = static_cast<std::int32_t>(X.size());
    // Observations: the image rows and the surveyed coordinates of weighted control.
    const std::int64_t observations =
        n + (pr.priors != nullptr ? PriorObservations(*pr.priors) : 0);
    const std::int32_t fixedCoordinates = 3 * pr.b;
    const std::vector<long double> fixed(X.begin(), X.begin() + fixedCoordinates);

    // Rows of the fixed points: points come in list order, the fixed ones first.
    std::int32_t fixedRows = 0;
    for (const auto& mm : meas) {
        if (mm.point < pr.b) fixedRows += 2;
    }

    BundleRows rows;
    rows.n = n;
    rows.u = u;
    rows.fixed = fixedCoordinates;
    rows.imageWidth = pr.imageWidth;
    const std::int32_t width = rows.Width();
    rows.pointColumn.resize(static_cast<std::size_t>(n));
    rows.imageColumn.resize(static_cast<std::size_t>(n));
    rows.a.assign(static_cast<std::size_t>(n) * width, 0.0L);
    rows.l.assign(static_cast<std::size_t>(n), 0.0L);
    for (std::size_t h = 0; h < meas.size(); ++h) {
        const std::int32_t pc = 3 * meas[h].point;
        const std::int32_t ic = ImageColumn(pr, meas[h].image);
        rows.pointColumn[2 * h] = rows.pointColumn[2 * h + 1] = pc;
        rows.imageColumn[2 * h] = rows.imageColumn[2 * h + 1] = ic;
    }
    if (pr.priors != nullptr) AddControlPriorRows(*pr.priors, pr.imageSigma, rows);

    BundleWorkspace workspace;
    workspace.timings = options.Timings;
    if (options.Timings != nullptr) options.Timings->lastOrder = static_cast<std::int64_t>(u) + fixedCoordinates;
    SparseWorkspace sparseWorkspace;
    std::vector<long double> w(static_cast<std::size_t>(n), 1.0L);
    std::vector<long double> v(static_cast<std::size_t>(n), 0.0L);
    std::vector<long double> d;
    std::vector<std::array<long double, 9>> R(static_cast<std::size_t>(pr.m));
    auto pointRow = NewMatrix(1, 5);

    long double m0 = 0.0L;
    long double previous = 0.0L;
    long double firstM0 = 0.0L;
    long double delta = 100.0L;
    std::int32_t pass = 0;
    while (delta > pr.tolerance) {
        // The limit is tested before the count advances: MaxIterations + 1
        // passes at most, and one pass even with MaxIterations = 0.
        if (pr.maxIterations < pass) break;
        ++pass;
        run.pass = pass;
        if (options.PassStarting && !options.PassStarting(pass, m0)) {
            run.stop = "stopped by the caller at the start of the pass";
            return false;
        }
        previous = m0;

        for (std::int32_t j = 0; j < pr.m; ++j) {
            const std::int32_t ic = ImageColumn(pr, j);
            MatPtr rot;
            if (!RotationMatrix(rot, X[ic + 3], X[ic + 4], X[ic + 5])) {
                run.stop = "rotation matrix of an image could not be formed";
                return false;
            }
            for (std::int32_t q = 0; q < 9; ++q) R[j][q] = rot->GetPrvek(1, q + 1);
        }
        for (std::size_t h = 0; h < meas.size(); ++h) {
            const Measurement& mm = meas[h];
            const std::int32_t pc = 3 * mm.point;
            const std::int32_t ic = ImageColumn(pr, mm.image);
            pointRow->SetPrvek(1, 1, X[pc]);
            pointRow->SetPrvek(1, 2, X[pc + 1]);
            pointRow->SetPrvek(1, 3, X[pc + 2]);
            pointRow->SetPrvek(1, 4, mm.x);
            pointRow->SetPrvek(1, 5, mm.y);
            const auto& r = R[mm.image];
            MatPtr B;
            MatPtr misclosure;
            bool ok;
            if (pr.imageWidth == 6) {
                ok = CollinearityRows9(*pointRow, B, misclosure, r[0], r[1], r[2], r[3], r[4], r[5],
                                       r[6], r[7], r[8], X[ic], X[ic + 1], X[ic + 2], pr.x0, pr.y0,
                                       pr.f);
            } else {
                ok = CollinearityRows10(*pointRow, B, misclosure, r[0], r[1], r[2], r[3], r[4],
                                        r[5], r[6], r[7], r[8], X[ic], X[ic + 1], X[ic + 2], pr.x0,
                                        pr.y0, X[ic + 6]);
            }
            if (!ok || !B || !misclosure || B->r != 2 || B->s != width || misclosure->r != 2) {
                run.stop = "collinearity rows of a measurement could not be formed";
                return false;
            }
            for (std::int32_t e = 0; e < 2; ++e) {
                long double* a = rows.a.data() + (2 * h + e) * static_cast<std::size_t>(width);
                for (std::int32_t q = 0; q < width; ++q) a[q] = B->GetPrvek(e + 1, q + 1);
                rows.l[2 * h + e] = misclosure->GetPrvek(e + 1, 1);
            }
        }
        // The surveyed coordinates' misclosures, current minus surveyed.
        if (pr.priors != nullptr) UpdateControlPriorMisclosures(*pr.priors, X, rows);

        // Weights from the residuals of the previous pass.
        for (std::int32_t i = 0; i < n; ++i) {
            const long double av = std::fabs(v[i]);
            if (pass == 1) {
                w[i] = 1.0L;
            } else if (pass == 2) {
                w[i] = Exp(-0.05L * Pow(av, 4.4L));
            } else {
                w[i] = Exp(-0.05L * Pow(av, 3.0L));
            }
            if (i < fixedRows) w[i] = 1.0L;
        }
        const std::vector<long double>* W = nullptr;
        if (pr.weighByResiduals) W = &w;
        if (pr.fixedWeights != nullptr) W = pr.fixedWeights;

        long double vtv = 0.0L;
        bool solved;
        if (options.Solver) {
            solved = options.Solver(rows, W, pr.halve, d, v, vtv);
        } else {
            bool eliminated = false;
            solved = SolveBundlePassWith(options.Solve, rows, W, pr.halve, workspace,
                                         sparseWorkspace, options.MemoryLimit, d, v, vtv, eliminated);
            if (solved && eliminated) ++summary.eliminatedPasses;
        }
        if (!solved || d.size() != static_cast<std::size_t>(u) ||
            v.size() != static_cast<std::size_t>(n)) {
            run.why = AdjustmentFailure::Singular;
            return false;
        }
        // The unweighted sum of squares of the image rows (with the weighted
        // squares of surveyed control) gives m0.
        m0 = std::sqrt(vtv / static_cast<long double>(observations - u));
        if (pass == 1) firstM0 = m0;
        delta = std::fabs((previous - m0) / m0 * 100.0L);
        FpBarrier(delta);
        if (options.PassDone) options.PassDone(pass, m0);

        for (std::int32_t k = 0; k < u; ++k) X[k] = X[k] + d[k];
        for (std::int32_t k = 0; k < fixedCoordinates; ++k) X[k] = fixed[k];
    }
    // The loop ends either on the change test or, with the test unmet, on the limit.
    summary.passesEnded = true;
    summary.limitReached = delta > pr.tolerance;

    // Without a pass (a tolerance of 100 or more) no weight was computed.
    if (pass > 0) {
        for (std::int32_t i = 0; i < n; ++i) weightsOut.SetPrvek(i + 1, 1, w[i]);
    }
    passes = pass;
    m0Out = m0;
    residuals = v;
    // A solution whose m0 grew a thousandfold has run away from the data.
    if (!(m0 <= 1000.0L * firstM0)) {
        run.why = AdjustmentFailure::Divergence;
        return false;
    }
    return true;
}

// Checks the sizes of a problem and the memory it needs; sends the message
// when there are fewer observations than unknowns.
bool Admissible(std::int64_t n, std::int64_t u, std::int64_t fixedCoordinates,
                std::int32_t imageWidth, std::int64_t images, const BundleOptions& options,
                AdjustmentFailure& why) {
    if (n - u < 0 && options.Message) options.Message(kTooFewObservationsMessage);
    if (n - u <= 0) {
        why = n - u < 0 ? AdjustmentFailure::TooFewObservations : AdjustmentFailure::NoRedundancy;
        return false;
    }
    if (!FitsMatrixSize(n) || !FitsMatrixSize(u + fixedCoordinates)) {
        why = AdjustmentFailure::TooLarge;
        return false;
    }
    const long double limit = options.MemoryLimit > 0.0L ? options.MemoryLimit : AvailableMemory();
    const bool sparse = !options.Solver && ResolveNormalSolve(options.Solve, u + fixedCoordinates) ==
                                               NormalSolve::Sparse;
    const long double need = sparse ? SparseMemoryEstimate(n, u, images, imageWidth)
                                    : BundleMemoryEstimate(n, u, fixedCoordinates, imageWidth);
    if (need > limit) {
        why = AdjustmentFailure::Memory;
        return false;
    }
    return true;
}

// Runs the guarded body of an adjustment and tells why it failed: the
// reason the body named, else an allocation that failed anywhere inside,
// else the fault that the guard caught, else a missing input.  The summary
// is started afresh.
template <class Body>
bool Classified(BundleSummary& summary, RunRecord& run, Body&& body) {
    summary = BundleSummary{};
    const std::uint64_t allocationFailures = AllocationFailureCount();
    const std::uint64_t guardFailures = LastGuardFailure().serial;
    const bool ok = GuardedComputation(body);
    const bool guardCaught = LastGuardFailure().serial != guardFailures;
    if (ok) {
        summary.failure = AdjustmentFailure::None;
    } else if (AllocationFailureCount() != allocationFailures) {
        summary.failure = AdjustmentFailure::Memory;
    } else if (run.why != AdjustmentFailure::None) {
        summary.failure = run.why;
    } else if (guardCaught && LastGuardFailure().kind == GuardFailure::Kind::Fault) {
        summary.failure = AdjustmentFailure::Fault;
    } else if (guardCaught && LastGuardFailure().kind == GuardFailure::Kind::Exception) {
        summary.failure = AdjustmentFailure::Other;
    } else {
        summary.failure = AdjustmentFailure::MissingInput;
    }
    return ok;
}

// " in pass N", or nothing before the first pass.
std::string InPass(std::int32_t pass) {
    return pass > 0 ? " in pass " + std::to_string(pass) : std::string();
}

// Why the passes stopped or why the adjustment failed, for developers.
std::string SummaryMessage(const BundleSummary& summary, const RunRecord& run, std::int32_t passes) {
    const std::string after = " after " + std::to_string(passes) + (passes == 1 ? " pass" : " passes");
    switch (summary.failure) {
        case AdjustmentFailure::None:
            if (passes == 0) return "no pass run: the tolerance is not below the initial change of 100 %";
            return summary.limitReached ? "pass limit reached" + after + ", m0 still changing beyond the tolerance"
                                        : "change of m0 below tolerance" + after;
        case AdjustmentFailure::MissingInput:
            if (run.stop != nullptr) return std::string(run.stop) + InPass(run.pass);
            return "an input is missing or inconsistent with the others";
        case AdjustmentFailure::NoPoints: return "no point is measured on two or more images";
        case AdjustmentFailure::TooLarge: return "more than 65535 observation rows or unknowns";
        case AdjustmentFailure::TooFewObservations: return "fewer observations than unknowns";
        case AdjustmentFailure::NoRedundancy: return "as many observations as unknowns: no redundancy";
        case AdjustmentFailure::Memory:
            return "more memory needed than is available, or an allocation failed" + InPass(run.pass);
        case AdjustmentFailure::Singular: return "normal equations singular" + InPass(run.pass);
        case AdjustmentFailure::Divergence: return "diverged: m0 grew more than a thousandfold" + after;
        case AdjustmentFailure::CameraConstantUndetermined:
            return "camera constants beyond any camera or not determined by the data" + after;
        case AdjustmentFailure::Fault:
        case AdjustmentFailure::Other: return DescribeGuardFailure(LastGuardFailure()) + InPass(run.pass);
    }
    return "unknown failure";
}

// The residual pairs of a successful run into the summary.  The pairs fit
// the 16-bit row count: an admissible adjustment has at most 65535
// observation rows.  Out of memory here leaves the adjustment's result as it
// is, without residuals.
void StoreResiduals(BundleSummary& summary, const std::vector<long double>& v) noexcept {
    try {
        const std::size_t k = v.size() / 2;
        MatPtr out = NewMatrix(static_cast<std::uint16_t>(k), 2);
        for (std::size_t h = 0; h < k; ++h) {
            out->SetPrvek(static_cast<std::int32_t>(h + 1), 1, v[2 * h]);
            out->SetPrvek(static_cast<std::int32_t>(h + 1), 2, v[2 * h + 1]);
        }
        summary.residuals = std::move(out);
    } catch (...) {
        summary.residuals.reset();
    }
}

// What every adjustment does after its guarded body: the residuals of an
// adjustment that succeeded as a whole (no fault flag either; without a
// pass, a tolerance of 100 or more, there are none) and the message.
void Conclude(bool ok, std::int32_t passes, const std::vector<long double>& v, const RunRecord& run,
              BundleSummary& summary) noexcept {
    if (ok && passes > 0) StoreResiduals(summary, v);
    try {
        summary.message = SummaryMessage(summary, run, passes);
    } catch (...) {
        summary.message.clear();
    }
}

double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// Runs one adjustment and, for the benchmark, adds its record to `timings`.
template <class Body>
bool Timed(BundleTimings* timings, std::int32_t imageWidth, const std::int32_t& passes, Body&& body) {
    if (timings == nullptr) return body();
    const auto start = std::chrono::steady_clock::now();
    const double cpu = ProcessCpuSeconds();
    BundleTimings::Adjustment record;
    record.imageWidth = imageWidth;
    record.sparsePasses = -timings->sparsePasses;
    record.svdPasses = -timings->svdPasses;
    record.fallbackPasses = -timings->fallbackPasses;
    timings->lastOrder = 0;
    record.ok = body();
    record.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    record.cpuSeconds = ProcessCpuSeconds() - cpu;
    record.order = timings->lastOrder;
    record.passes = passes;
    record.sparsePasses += timings->sparsePasses;
    record.svdPasses += timings->svdPasses;
    record.fallbackPasses += timings->fallbackPasses;
    timings->totalSeconds += record.seconds;
    timings->adjustments.push_back(record);
    return record.ok;
}

// The body of BundleAdjust: the point list, the index tables, the start
// values and the passes.  `v` receives the residuals of the last pass.
bool AdjustBody(bool robust, const Matice* controlTable, const Matice* imageTable, const Matice* tieIndex,
                const Matice* controlIndex, const Matice* controlCounts, const Matice* imageRows, const Matice* startPoints,
                const Matice* startOrientations, long double x0, long double y0, long double f,
                std::int32_t fixedCount, const BundleOptions& options, BundleSummary& summary,
                MatPtr& unknowns, std::int32_t& passes, long double& m0, MatPtr& pointList, MatPtr& imageIndex,
                MatPtr& pointIndex, MatPtr& weights, std::int32_t& redundancy, std::vector<long double>& v,
                RunRecord& run) {
    if (controlTable == nullptr || imageTable == nullptr || tieIndex == nullptr ||
        controlIndex == nullptr || imageRows == nullptr || startPoints == nullptr ||
        startOrientations == nullptr) {
        return false;
    }
    const std::int32_t m = imageRows->r;
    if (m < 1) return false;

    // Points that enter: measured on two or more images.  The empty
    // 1 x 1 tables (number 0) contribute nothing.
    std::vector<std::int32_t> controlRows;
    std::vector<std::int32_t> tieRows;
    for (std::int32_t r = 1; r <= controlIndex->r; ++r) {
        if (RoundId(controlIndex->GetPrvek(r, 1)) > 0 &&
            MeasurementCount(*controlIndex, r) >= 2) {
            controlRows.push_back(r);
        }
    }
    for (std::int32_t r = 1; r <= tieIndex->r; ++r) {
        if (RoundId(tieIndex->GetPrvek(r, 1)) > 0 && MeasurementCount(*tieIndex, r) >= 2) {
            tieRows.push_back(r);
        }
    }
    // With weighted control: check points after the other control
    // points, so that they never hold the datum, and the weighted points
    // measured on one image between them.
    const ControlWeighting* weighting =
        options.Weighting != nullptr && options.Weighting->Active() ? options.Weighting : nullptr;
    std::vector<std::int32_t> checkRows;
    std::vector<SingleControl> singles;
    if (weighting != nullptr) {
        std::vector<std::int32_t> datumRows;
        for (const std::int32_t r : controlRows) {
            (weighting->IsCheck(RoundId(controlIndex->GetPrvek(r, 1))) ? checkRows : datumRows).push_back(r);
        }
        controlRows = datumRows;
        if (!SingleImageControl(*controlIndex, controlCounts, *controlTable, *imageRows, *weighting, singles)) {
            return false;
        }
    }
    const std::int32_t datumCandidates = static_cast<std::int32_t>(controlRows.size());
    const std::int32_t c = datumCandidates + static_cast<std::int32_t>(singles.size() + checkRows.size());
    const std::int32_t p = c + static_cast<std::int32_t>(tieRows.size());
    if (p == 0) {
        run.why = AdjustmentFailure::NoPoints;
        return false;
    }
    const std::int32_t b = std::clamp(fixedCount, 0, datumCandidates);
    const std::int64_t width =
        std::max<std::int64_t>({2LL * m + 1, tieIndex->s, controlIndex->s});
    const std::int64_t u64 = 3LL * p + 6LL * m;
    if (!FitsMatrixSize(width) || !FitsMatrixSize(p) || !FitsMatrixSize(u64)) {
        run.why = AdjustmentFailure::TooLarge;
        return false;
    }

    pointList = NewMatrix(static_cast<std::uint16_t>(p), static_cast<std::uint16_t>(width));
    std::int32_t i = 1;
    for (const std::int32_t r : controlRows) {
        for (std::int32_t col = 1; col <= controlIndex->s; ++col) {
            pointList->SetPrvek(i, col, controlIndex->GetPrvek(r, col));
        }
        ++i;
    }
    for (const SingleControl& single : singles) {
        pointList->SetPrvek(i, 1, single.number);
        pointList->SetPrvek(i, 2, static_cast<long double>(single.row));
        pointList->SetPrvek(i, 3, -static_cast<long double>(single.image));
        ++i;
    }
    for (const std::int32_t r : checkRows) {
        for (std::int32_t col = 1; col <= controlIndex->s; ++col) {
            pointList->SetPrvek(i, col, controlIndex->GetPrvek(r, col));
        }
        ++i;
    }
    for (const std::int32_t r : tieRows) {
        for (std::int32_t col = 1; col <= tieIndex->s; ++col) {
            pointList->SetPrvek(i, col, tieIndex->GetPrvek(r, col));
        }
        ++i;
    }

    std::vector<Measurement> meas;
    if (!CollectMeasurements(*pointList, *controlTable, *imageTable, m, meas)) return false;
    const std::int64_t n64 = 2LL * static_cast<std::int64_t>(meas.size());
    const std::int32_t u = static_cast<std::int32_t>(u64);

    imageIndex = NewMatrix(static_cast<std::uint16_t>(m), 2);
    for (std::int32_t j = 1; j <= m; ++j) {
        imageIndex->SetPrvek(j, 1, 3.0L * p + 6.0L * j - 5.0L);
        imageIndex->SetPrvek(j, 2, 3.0L * p + 6.0L * j);
    }
    pointIndex = NewMatrix(static_cast<std::uint16_t>(p), 3);
    for (std::int32_t k = 1; k <= p; ++k) {
        pointIndex->SetPrvek(k, 1, pointList->GetPrvek(k, 1));
        pointIndex->SetPrvek(k, 2, 3.0L * k - 2.0L);
        pointIndex->SetPrvek(k, 3, 3.0L * k);
    }
    std::vector<ControlPrior> priors;
    if (!ControlPriorsOfList(*pointList, *controlTable, b, weighting, priors)) return false;
    const std::int64_t observations = n64 + PriorObservations(priors);
    unknowns = NewMatrix(static_cast<std::uint16_t>(u), 1);
    redundancy = static_cast<std::int32_t>(observations - u64);
    if (!Admissible(observations, u64, 3LL * b, 6, m, options, run.why)) return false;
    weights = NewMatrix(static_cast<std::uint16_t>(n64), 1);

    // Start values.  A control point's known coordinates come from its
    // own rows of the control table (its first measurement's row).
    std::vector<long double> X(static_cast<std::size_t>(u), 0.0L);
    if (controlTable->s < 4) return false;
    for (std::int32_t k = 1; k <= c; ++k) {
        std::int32_t row = 0;
        for (std::int32_t col = 2; col + 1 <= pointList->s; col += 2) {
            if (RoundId(pointList->GetPrvek(k, col + 1)) < 0) {
                row = RoundId(pointList->GetPrvek(k, col));
                break;
            }
        }
        if (row < 1 || row > controlTable->r) return false;
        for (std::int32_t q = 0; q < 3; ++q) {
            X[3 * (k - 1) + q] = controlTable->GetPrvek(row, 2 + q);
        }
    }
    if (p > c && startPoints->s < 4) return false;
    const StartRows startRows(*startPoints);
    for (std::int32_t k = c + 1; k <= p; ++k) {
        const std::int32_t found = startRows.LastRowOf(pointList->GetPrvek(k, 1));
        if (found == 0) return false;
        for (std::int32_t q = 0; q < 3; ++q) {
            X[3 * (k - 1) + q] = startPoints->GetPrvek(found, 2 + q);
        }
    }
    if (startOrientations->r < m || startOrientations->s < 12) return false;
    for (std::int32_t j = 1; j <= m; ++j) {
        const Matice& o = *startOrientations;
        const std::int32_t ic = 3 * p + 6 * (j - 1);
        X[ic] = o.GetPrvek(j, 10);
        X[ic + 1] = o.GetPrvek(j, 11);
        X[ic + 2] = o.GetPrvek(j, 12);
        const Angles angles =
            AnglesFromRotation(o.GetPrvek(j, 1), o.GetPrvek(j, 2), o.GetPrvek(j, 3),
                               o.GetPrvek(j, 4), o.GetPrvek(j, 5), o.GetPrvek(j, 6),
                               o.GetPrvek(j, 7), o.GetPrvek(j, 8), o.GetPrvek(j, 9));
        X[ic + 3] = angles.alfa;
        X[ic + 4] = angles.beta;
        X[ic + 5] = angles.gama;
    }

    Problem pr = MakeProblem(meas, m, p, b, 6, x0, y0, f, options.MaxIterations, options.Tolerance);
    pr.halve = true;
    pr.weighByResiduals = robust;
    if (!priors.empty()) {
        pr.priors = &priors;
        pr.imageSigma = weighting->imageSigma;
    }
    const bool passed = RunPasses(pr, options, X, *weights, passes, m0, v, summary, run);
    for (std::int32_t k = 0; k < u; ++k) unknowns->SetPrvek(k + 1, 1, X[k]);
    return passed;
}

// The body of BundleAdjustWithF: the start values from the adjustment
// without the camera constant and the passes.  `v` receives the residuals
// of the last pass.
bool AdjustWithFBody(bool robust, const Matice* controlTable, const Matice* imageTable,
                     const Matice* startUnknowns, const Matice* imageRows, const Matice* pointList,
                     const Matice* imageIndex, long double x0, long double y0, long double f,
                     long double tolerance, std::int32_t fixedCount, const Matice* robustWeights,
                     const BundleOptions& options, BundleSummary& summary, MatPtr& unknowns,
                     std::int32_t& passes, long double& m0, MatPtr& imageIndexF, MatPtr& weights,
                     std::int32_t& redundancy, std::vector<long double>& v, RunRecord& run) {
    if (controlTable == nullptr || imageTable == nullptr || startUnknowns == nullptr ||
        imageRows == nullptr || pointList == nullptr || imageIndex == nullptr) {
        return false;
    }
    const std::int32_t m = imageRows->r;
    const std::int32_t p = pointList->r;
    if (m < 1 || p < 1 || imageIndex->r < m || imageIndex->s < 1) return false;
    // Control points lead the list; they are the rows with negative
    // image numbers.
    std::int32_t c = 0;
    for (std::int32_t k = 1; k <= p; ++k) {
        if (RoundId(pointList->GetPrvek(k, 1)) <= 0) return false;
        bool isControl = false;
        for (std::int32_t col = 3; col <= pointList->s; col += 2) {
            if (RoundId(pointList->GetPrvek(k, col)) < 0) isControl = true;
        }
        if (isControl) c = k;
    }
    const ControlWeighting* weighting =
        options.Weighting != nullptr && options.Weighting->Active() ? options.Weighting : nullptr;
    const std::int32_t b = weighting != nullptr ? FixedPointsOfList(*pointList, fixedCount, weighting)
                                                : std::clamp(fixedCount, 0, c);
    std::vector<ControlPrior> priors;
    if (!ControlPriorsOfList(*pointList, *controlTable, b, weighting, priors)) return false;

    std::vector<Measurement> meas;
    if (!CollectMeasurements(*pointList, *controlTable, *imageTable, m, meas)) return false;
    const std::int64_t n64 = 2LL * static_cast<std::int64_t>(meas.size());
    const std::int64_t u64 = 3LL * p + 7LL * m;
    if (!FitsMatrixSize(u64)) {
        run.why = AdjustmentFailure::TooLarge;
        return false;
    }
    const std::int32_t u = static_cast<std::int32_t>(u64);

    // The weights of the preceding run are read before any output is
    // replaced: `weights` may own them.
    std::vector<long double> fixedWeights;
    if (robust) {
        if (robustWeights == nullptr || robustWeights->r != n64 || robustWeights->s < 1) {
            return false;
        }
        for (std::int32_t i = 1; i <= robustWeights->r; ++i) {
            fixedWeights.push_back(robustWeights->GetPrvek(i, 1));
        }
    }

    std::vector<long double> X(static_cast<std::size_t>(u), 0.0L);
    if (startUnknowns->r < 3 * p || startUnknowns->s < 1) return false;
    for (std::int32_t k = 0; k < 3 * p; ++k) X[k] = startUnknowns->GetPrvek(k + 1, 1);
    for (std::int32_t j = 1; j <= m; ++j) {
        const std::int32_t first = RoundId(imageIndex->GetPrvek(j, 1));
        if (first < 1 || static_cast<std::int64_t>(first) + 5 > startUnknowns->r) {
            return false;
        }
        const std::int32_t ic = 3 * p + 7 * (j - 1);
        for (std::int32_t q = 0; q < 6; ++q) {
            X[ic + q] = startUnknowns->GetPrvek(first + q, 1);
        }
        X[ic + 6] = f;
    }

    imageIndexF = NewMatrix(static_cast<std::uint16_t>(m), 2);
    for (std::int32_t j = 1; j <= m; ++j) {
        imageIndexF->SetPrvek(j, 1, 3.0L * p + 7.0L * j - 6.0L);
        imageIndexF->SetPrvek(j, 2, 3.0L * p + 7.0L * j);
    }
    const std::int64_t observations = n64 + PriorObservations(priors);
    unknowns = NewMatrix(static_cast<std::uint16_t>(u), 1);
    redundancy = static_cast<std::int32_t>(observations - u64);
    if (!Admissible(observations, u64, 3LL * b, 7, m, options, run.why)) return false;
    weights = NewMatrix(static_cast<std::uint16_t>(n64), 1);

    Problem pr = MakeProblem(meas, m, p, b, 7, x0, y0, f, options.MaxIterations, tolerance);
    pr.halve = false;
    pr.weighByResiduals = false;
    pr.fixedWeights = robust ? &fixedWeights : nullptr;
    if (!priors.empty()) {
        pr.priors = &priors;
        pr.imageSigma = weighting->imageSigma;
    }
    const bool passed = RunPasses(pr, options, X, *weights, passes, m0, v, summary, run);
    for (std::int32_t k = 0; k < u; ++k) unknowns->SetPrvek(k + 1, 1, X[k]);
    return passed;
}

}  // namespace

bool BundleAdjust(bool robust, const Matice* controlTable, const Matice* imageTable,
                  const Matice* tieIndex, [[maybe_unused]] const Matice* tieCounts,
                  const Matice* controlIndex, const Matice* controlCounts,
                  const Matice* imageRows, const Matice* startPoints,
                  const Matice* startOrientations, long double x0, long double y0, long double f,
                  std::int32_t fixedCount, const BundleOptions& options, BundleSummary& summary,
                  MatPtr& unknowns, std::int32_t& passes, long double& m0, MatPtr& pointList,
                  MatPtr& imageIndex, MatPtr& pointIndex, MatPtr& weights, std::int32_t& redundancy) {
    std::vector<long double> v;
    RunRecord run;
    const bool ok = Timed(options.Timings, 6, passes, [&] {
        return Classified(summary, run, [&] {
            return AdjustBody(robust, controlTable, imageTable, tieIndex, controlIndex, controlCounts, imageRows,
                              startPoints,
                              startOrientations, x0, y0, f, fixedCount, options, summary, unknowns, passes, m0,
                              pointList, imageIndex, pointIndex, weights, redundancy, v, run);
        });
    });
    Conclude(ok, passes, v, run, summary);
    return ok;
}

bool BundleAdjustWithF(bool robust, const Matice* controlTable, const Matice* imageTable,
                       const Matice* startUnknowns, const Matice* imageRows,
                       const Matice* pointList, const Matice* imageIndex,
                       [[maybe_unused]] const Matice* pointIndex,
                       [[maybe_unused]] const Matice* tieCounts, long double x0, long double y0,
                       long double f, long double tolerance, std::int32_t fixedCount,
                       const Matice* robustWeights, const BundleOptions& options,
                       BundleSummary& summary, MatPtr& unknowns, std::int32_t& passes,
                       long double& m0, MatPtr& imageIndexF, MatPtr& weights,
                       std::int32_t& redundancy) {
    std::vector<long double> v;
    RunRecord run;
    const bool ok = Timed(options.Timings, 7, passes, [&] {
        return Classified(summary, run, [&] {
            return AdjustWithFBody(robust, controlTable, imageTable, startUnknowns, imageRows, pointList,
                                   imageIndex, x0, y0, f, tolerance, fixedCount, robustWeights, options, summary,
                                   unknowns, passes, m0, imageIndexF, weights, redundancy, v, run);
        });
    });
    Conclude(ok, passes, v, run, summary);
    return ok;
}

}  // namespace pelvanor
