#include "adjustment/camera_calibration.h"

#include <algorithm>
#include <cmath>

#include "adjustment/bundle_normal_equations.h"
#include "adjustment/schur_solve.h"
#include "matrix/arithmetic.h"
#include "matrix/fp_guard.h"
#include "orientation/collinearity.h"

namespace pelvanor {

const char* CameraParameterName(int index) {
    static const char* const kNames[kCameraParameterCount] = {"f", "x0", "y0", "k1", "k2", "k3", "p1", "p2"};
    return index >= 0 && index < kCameraParameterCount ? kNames[index] : "";
}

long double CameraParameterValue(const CameraParameters& c, int index) {
    switch (index) {
        case kParamF: return c.f;
        case kParamX0: return c.x0;
        case kParamY0: return c.y0;
        case kParamK1: return c.k1;
        case kParamK2: return c.k2;
        case kParamK3: return c.k3;
        case kParamP1: return c.p1;
        case kParamP2: return c.p2;
        default: return 0.0L;
    }
}

void SetCameraParameterValue(CameraParameters& c, int index, long double value) {
    switch (index) {
        case kParamF: c.f = value; break;
        case kParamX0: c.x0 = value; break;
        case kParamY0: c.y0 = value; break;
        case kParamK1: c.k1 = value; break;
        case kParamK2: c.k2 = value; break;
        case kParamK3: c.k3 = value; break;
        case kParamP1: c.p1 = value; break;
        case kParamP2: c.p2 = value; break;
        default: break;
    }
}

namespace {

// The corrected coordinates x', y' of a raw point and their derivatives
// with respect to the camera parameters (file order; f does not enter).
struct CorrectedPoint {
    long double x = 0.0L;
    long double y = 0.0L;
    CameraParameterArray dx{};
    CameraParameterArray dy{};
};

// corrected_from_raw with its derivatives.  The value is formed exactly as
// the distortion correction of the tables forms it (r from its square root),
// so that the same camera gives the same corrected coordinates bit for bit.
// With s = r^2 and dr' = d(dr)/ds = k1 + 2 k2 s + 3 k3 s^2:
//   d(dx)/d(xb) = dr + 2 xb^2 dr' + 6 p1 xb + 2 p1 yb,
//   d(dx)/d(yb) = 2 xb yb dr' + 2 p1 yb + 2 p1 xb,
//   d(dy)/d(xb) = 2 xb yb dr' + 2 p2 xb + 2 p2 yb,
//   d(dy)/d(yb) = dr + 2 yb^2 dr' + 6 p2 yb + 2 p2 xb,
// and xb, yb fall by one when x0, y0 grow by one.
CorrectedPoint CorrectWithDerivatives(const CameraParameters& c, long double x, long double y) {
    CorrectedPoint out;
    const long double xb = x - c.x0;
    const long double yb = y - c.y0;
    const long double r = std::sqrt(xb * xb + yb * yb);
    const long double r2 = r * r;
    const long double r4 = r2 * r2;
    const long double r6 = r4 * r2;
    const long double dr = c.k1 * r2 + c.k2 * r2 * r2 + c.k3 * r2 * r2 * r2;
    const long double deltaX = xb * dr + c.p1 * (r2 + 2.0L * xb * xb) + 2.0L * c.p1 * xb * yb;
    const long double deltaY = yb * dr + c.p2 * (r2 + 2.0L * yb * yb) + 2.0L * c.p2 * xb * yb;
    out.x = x + deltaX;
    out.y = -(y + deltaY);

    const long double ddr = c.k1 + 2.0L * c.k2 * r2 + 3.0L * c.k3 * r4;
    const long double dXdxb = dr + 2.0L * xb * xb * ddr + 6.0L * c.p1 * xb + 2.0L * c.p1 * yb;
    const long double dXdyb = 2.0L * xb * yb * ddr + 2.0L * c.p1 * yb + 2.0L * c.p1 * xb;
    const long double dYdxb = 2.0L * xb * yb * ddr + 2.0L * c.p2 * xb + 2.0L * c.p2 * yb;
    const long double dYdyb = dr + 2.0L * yb * yb * ddr + 6.0L * c.p2 * yb + 2.0L * c.p2 * xb;
    // x' = x + dx, y' = -(y + dy).
    out.dx[kParamX0] = -dXdxb;
    out.dx[kParamY0] = -dXdyb;
    out.dy[kParamX0] = dYdxb;
    out.dy[kParamY0] = dYdyb;
    out.dx[kParamK1] = xb * r2;
    out.dx[kParamK2] = xb * r4;
    out.dx[kParamK3] = xb * r6;
    out.dy[kParamK1] = -(yb * r2);
    out.dy[kParamK2] = -(yb * r4);
    out.dy[kParamK3] = -(yb * r6);
    out.dx[kParamP1] = r2 + 2.0L * xb * xb + 2.0L * xb * yb;
    out.dy[kParamP2] = -(r2 + 2.0L * yb * yb + 2.0L * xb * yb);
    return out;
}

// The rows of one measurement with the rotation already formed (r: r11 .. r33).
bool RowsWithRotation(long double X, long double Y, long double Z, long double x, long double y,
                      const std::array<long double, 9>& r, long double X0, long double Y0, long double Z0,
                      const CameraParameters& camera, const CameraParameterFlags& free, Matice& pointRow,
                      long double* rowX, long double* rowY, long double& lx, long double& ly) {
    const CorrectedPoint cp = CorrectWithDerivatives(camera, x, y);
    pointRow.SetPrvek(1, 1, X);
    pointRow.SetPrvek(1, 2, Y);
    pointRow.SetPrvek(1, 3, Z);
    pointRow.SetPrvek(1, 4, cp.x);
    pointRow.SetPrvek(1, 5, cp.y);
    // Rows10: X Y Z X0 Y0 Z0 alfa beta gama, then f (-U/W, -V/W).
    MatPtr B;
    MatPtr misclosure;
    if (!CollinearityRows10(pointRow, B, misclosure, r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7], r[8], X0,
                            Y0, Z0, camera.x0, camera.y0, camera.f) ||
        !B || !misclosure || B->r != 2 || B->s != 10 || misclosure->r != 2) {
        return false;
    }
    for (std::int32_t q = 0; q < 9; ++q) {
        rowX[q] = B->GetPrvek(1, q + 1);
        rowY[q] = B->GetPrvek(2, q + 1);
    }
    lx = misclosure->GetPrvek(1, 1);
    ly = misclosure->GetPrvek(2, 1);
    // d(xc - x')/dp and d(yc - y')/dp; xc grows with x0, yc falls with y0.
    std::int32_t col = 9;
    for (int j = 0; j < kCameraParameterCount; ++j) {
        if (!free[static_cast<std::size_t>(j)]) continue;
        long double dxc = 0.0L;
        long double dyc = 0.0L;
        if (j == kParamF) {
            dxc = B->GetPrvek(1, 10);
            dyc = B->GetPrvek(2, 10);
        } else if (j == kParamX0) {
            dxc = 1.0L;
        } else if (j == kParamY0) {
            dyc = -1.0L;
        }
        rowX[col] = dxc - cp.dx[static_cast<std::size_t>(j)];
        rowY[col] = dyc - cp.dy[static_cast<std::size_t>(j)];
        ++col;
    }
    return true;
}

std::array<long double, 9> Rotation(long double alfa, long double beta, long double gama, bool& ok) {
    std::array<long double, 9> r{};
    MatPtr rot;
    ok = RotationMatrix(rot, alfa, beta, gama) && rot && rot->s == 9;
    if (ok) {
        for (std::int32_t q = 0; q < 9; ++q) r[static_cast<std::size_t>(q)] = rot->GetPrvek(1, q + 1);
    }
    return r;
}

using Measurement = ListMeasurement;

// What a run of the passes needs besides the unknowns.
struct Problem {
    const std::vector<Measurement>* measurements = nullptr;
    std::int32_t m = 0;
    std::int32_t p = 0;
    std::int32_t b = 0;
    CameraParameterFlags free{};
    std::int32_t k = 0;  // free camera parameters
    // Weighted control observing its own unknowns, and the a priori sigma
    // of an image coordinate that scales its weights.
    const std::vector<ControlPrior>* priors = nullptr;
    long double imageSigma = 1.0L;
    std::int64_t priorObservations = 0;
};

// The pass loop.  X holds points and orientations (3p + 6m), `camera` the
// camera; both are start values on entry and results on return.
bool RunPasses(const Problem& pr, const CalibrationOptions& options, std::vector<long double>& X,
               CameraParameters& camera, CalibrationSummary& summary, std::vector<long double>& v,
               std::vector<long double>& cofactor, AdjustmentFailure& why) {
    const auto& meas = *pr.measurements;
    const std::int32_t n = 2 * static_cast<std::int32_t>(meas.size());
    const std::int32_t ue = static_cast<std::int32_t>(X.size());  // points and images
    const std::int32_t u = ue + pr.k;
    const std::int32_t fixedCoordinates = 3 * pr.b;
    const std::vector<long double> fixed(X.begin(), X.begin() + fixedCoordinates);

    BundleRows rows;
    rows.n = n;
    rows.u = u;
    rows.fixed = fixedCoordinates;
    rows.imageWidth = 6;
    rows.globalWidth = pr.k;
    const std::int32_t width = rows.Width();
    rows.pointColumn.resize(static_cast<std::size_t>(n));
    rows.imageColumn.resize(static_cast<std::size_t>(n));
    rows.a.assign(static_cast<std::size_t>(n) * width, 0.0L);
    rows.l.assign(static_cast<std::size_t>(n), 0.0L);
    for (std::size_t h = 0; h < meas.size(); ++h) {
        rows.pointColumn[2 * h] = rows.pointColumn[2 * h + 1] = 3 * meas[h].point;
        rows.imageColumn[2 * h] = rows.imageColumn[2 * h + 1] = 3 * pr.p + 6 * meas[h].image;
    }
    if (pr.priors != nullptr) AddControlPriorRows(*pr.priors, pr.imageSigma, rows);
    // Redundancy: image rows and surveyed coordinates against the unknowns.
    const std::int64_t redundancy = n + pr.priorObservations - u;

    BundleWorkspace dense;
    dense.timings = nullptr;
    SparseWorkspace sparse;
    std::vector<long double> d;
    std::vector<std::array<long double, 9>> R(static_cast<std::size_t>(pr.m));
    auto pointRow = NewMatrix(1, 5);
    std::vector<long double> columnScale(static_cast<std::size_t>(pr.k), 1.0L);

    long double m0 = 0.0L;
    long double previous = 0.0L;
    long double firstM0 = 0.0L;
    long double delta = 100.0L;
    std::int32_t pass = 0;
    while (delta > options.Tolerance) {
        // As the bundle adjustment: the limit is tested before the count
        // advances, so MaxIterations + 1 passes at most.
        if (options.MaxIterations < pass) break;
        ++pass;
        if (options.PassStarting && !options.PassStarting(pass, m0)) {
            summary.message = "stopped by the caller";
            return false;
        }
        previous = m0;

        for (std::int32_t j = 0; j < pr.m; ++j) {
            const std::int32_t ic = 3 * pr.p + 6 * j;
            bool ok = false;
            R[static_cast<std::size_t>(j)] = Rotation(X[ic + 3], X[ic + 4], X[ic + 5], ok);
            if (!ok) return false;
        }
        for (std::size_t h = 0; h < meas.size(); ++h) {
            const Measurement& mm = meas[h];
            const std::int32_t pc = 3 * mm.point;
            const std::int32_t ic = 3 * pr.p + 6 * mm.image;
            long double* ax = rows.a.data() + (2 * h) * static_cast<std::size_t>(width);
            long double* ay = ax + width;
            if (!RowsWithRotation(X[pc], X[pc + 1], X[pc + 2], mm.x, mm.y, R[static_cast<std::size_t>(mm.image)],
                                  X[ic], X[ic + 1], X[ic + 2], camera, pr.free, *pointRow, ax, ay, rows.l[2 * h],
                                  rows.l[2 * h + 1])) {
                summary.message = "the collinearity equations failed (a point in the plane W = 0)";
                return false;
            }
        }

        // The camera columns differ from the others by many orders of
        // magnitude (k3 multiplies r^7: 1e9 on a 36 mm frame, against about
        // one for a point's coordinates); the pseudo-inverse, which is not
        // invariant under column scaling, would lose the small singular
        // values of the bordered matrix to that spread.  Each camera column
        // is therefore scaled by the power of two nearest to the reciprocal
        // of its root mean square in the first pass (and by the same factor
        // in every later pass), i.e. the unknown is taken in those units.
        // Powers of two change no digit of the elimination's arithmetic.
        if (pass == 1) {
            for (std::int32_t c = 0; c < pr.k; ++c) {
                long double squares = 0.0L;
                for (std::int32_t h = 0; h < n; ++h) {
                    const long double a = rows.a[static_cast<std::size_t>(h) * width + 9 + c];
                    squares = a * a + squares;
                }
                const long double rms = std::sqrt(squares / static_cast<long double>(n));
                // 2^-round(log2 rms), from the exponent alone so that no
                // logarithm of the processor decides the scale.
                int exponent = 0;
                const long double mantissa = std::frexp(rms, &exponent);
                if (mantissa < 0.70710678118654752440L) --exponent;
                columnScale[static_cast<std::size_t>(c)] = rms > 0.0L ? std::ldexp(1.0L, -exponent) : 1.0L;
            }
        }
        for (std::int32_t h = 0; h < n; ++h) {
            long double* a = rows.a.data() + static_cast<std::size_t>(h) * width + 9;
            for (std::int32_t c = 0; c < pr.k; ++c) a[c] = a[c] * columnScale[static_cast<std::size_t>(c)];
        }
        // The surveyed coordinates' misclosures, current minus surveyed.
        if (pr.priors != nullptr) UpdateControlPriorMisclosures(*pr.priors, X, rows);

        long double vtv = 0.0L;
        bool eliminated = false;
        const bool solved = SolveBundlePassWith(options.Solve, rows, nullptr, false, dense, sparse,
                                                options.MemoryLimit, d, v, vtv, eliminated);
        if (!solved || d.size() != static_cast<std::size_t>(u) || v.size() != static_cast<std::size_t>(n)) {
            why = AdjustmentFailure::Singular;
            summary.message = "the normal equations of pass " + std::to_string(pass) + " could not be solved";
            return false;
        }
        if (eliminated) ++summary.eliminatedPasses;
        // Back to the parameters' own units: d_c = s_c d'_c, Q_ij = s_i s_j Q'_ij.
        cofactor = eliminated ? sparse.globalCofactor : dense.globalCofactor;
        if (cofactor.size() == static_cast<std::size_t>(pr.k) * pr.k) {
            for (std::int32_t i = 0; i < pr.k; ++i) {
                for (std::int32_t j = 0; j < pr.k; ++j) {
                    cofactor[static_cast<std::size_t>(i * pr.k + j)] *=
                        columnScale[static_cast<std::size_t>(i)] * columnScale[static_cast<std::size_t>(j)];
                }
            }
        }
        for (std::int32_t c = 0; c < pr.k; ++c) d[ue + c] = d[ue + c] * columnScale[static_cast<std::size_t>(c)];
        m0 = std::sqrt(vtv / static_cast<long double>(redundancy));
        if (pass == 1) firstM0 = m0;
        delta = std::fabs((previous - m0) / m0 * 100.0L);
        FpBarrier(delta);
        if (options.PassDone) options.PassDone(pass, m0);

        for (std::int32_t q = 0; q < ue; ++q) X[q] = X[q] + d[q];
        for (std::int32_t q = 0; q < fixedCoordinates; ++q) X[q] = fixed[q];
        std::int32_t col = ue;
        for (int j = 0; j < kCameraParameterCount; ++j) {
            if (!pr.free[static_cast<std::size_t>(j)]) continue;
            SetCameraParameterValue(camera, j, CameraParameterValue(camera, j) + d[col]);
            ++col;
        }
    }
    summary.limitReached = delta > options.Tolerance;
    summary.passes = pass;
    summary.m0 = m0;
    if (pass == 0) {
        summary.message = "no pass ran (a tolerance of 100 or more)";
        return false;
    }
    // A solution whose m0 grew a thousandfold has run away from the data.
    if (!(m0 <= 1000.0L * firstM0)) {
        why = AdjustmentFailure::Divergence;
        summary.message = "diverged: m0 grew more than a thousandfold";
        return false;
    }
    summary.message = summary.limitReached ? "stopped on the pass limit with m0 still changing"
                                           : "m0 changed by less than the tolerance";
    return true;
}

}  // namespace

void DistortionCorrection(const CameraParameters& camera, long double x, long double y, long double& dx,
                          long double& dy) {
    const CorrectedPoint cp = CorrectWithDerivatives(camera, x, y);
    dx = cp.x - x;
    dy = -cp.y - y;
}

bool CalibrationObservationRows(long double X, long double Y, long double Z, long double x, long double y,
                                const std::array<long double, 6>& image, const CameraParameters& camera,
                                const CameraParameterFlags& free, std::vector<long double>& rowX,
                                std::vector<long double>& rowY, long double& lx, long double& ly) {
    return GuardedComputation([&] {
        const auto k = static_cast<std::size_t>(std::count(free.begin(), free.end(), true));
        rowX.assign(9 + k, 0.0L);
        rowY.assign(9 + k, 0.0L);
        bool ok = false;
        const auto r = Rotation(image[3], image[4], image[5], ok);
        if (!ok) return false;
        auto pointRow = NewMatrix(1, 5);
        return RowsWithRotation(X, Y, Z, x, y, r, image[0], image[1], image[2], camera, free, *pointRow,
                                rowX.data(), rowY.data(), lx, ly);
    });
}

bool CalibrateCamera(const Matice* controlPoints, const Matice* imagePoints, const Matice* pointList,
                     const Matice* startUnknowns, const Matice* imageIndex, const Matice* pointIndex,
                     const CameraParameters& start, std::int32_t fixedCount, const CalibrationOptions& options,
                     CalibrationSummary& summary) {
    summary = CalibrationSummary{};
    summary.free = options.Free;
    summary.camera = start;
    AdjustmentFailure why = AdjustmentFailure::None;
    const std::uint64_t allocationFailures = AllocationFailureCount();
    const std::uint64_t guardFailures = LastGuardFailure().serial;
    std::vector<long double> v;
    std::vector<long double> cofactor;
    std::vector<Measurement> meas;
    const bool ok = GuardedComputation([&] {
        if (controlPoints == nullptr || imagePoints == nullptr || pointList == nullptr || startUnknowns == nullptr ||
            imageIndex == nullptr || pointIndex == nullptr) {
            why = AdjustmentFailure::MissingInput;
            summary.message = "an input table is missing";
            return false;
        }
        const std::int32_t m = imageIndex->r;
        const std::int32_t p = pointList->r;
        if (m < 1 || p < 1 || pointIndex->r != p || pointIndex->s < 2 || imageIndex->s < 1 || startUnknowns->s < 1) {
            why = AdjustmentFailure::MissingInput;
            summary.message = "the start values do not fit the point list";
            return false;
        }
        // Control points lead the list: the rows with negative image numbers.
        std::int32_t c = 0;
        for (std::int32_t i = 1; i <= p; ++i) {
            if (RoundId(pointList->GetPrvek(i, 1)) <= 0) {
                why = AdjustmentFailure::MissingInput;
                summary.message = "a point list row without a point number";
                return false;
            }
            for (std::int32_t col = 3; col <= pointList->s; col += 2) {
                if (RoundId(pointList->GetPrvek(i, col)) < 0) c = i;
            }
        }
        const ControlWeighting* weighting =
            options.Weighting != nullptr && options.Weighting->Active() ? options.Weighting : nullptr;
        const std::int32_t b =
            weighting != nullptr ? FixedPointsOfList(*pointList, fixedCount, weighting) : std::clamp(fixedCount, 0, c);
        std::vector<ControlPrior> priors;
        if (!ControlPriorsOfList(*pointList, *controlPoints, b, weighting, priors)) {
            why = AdjustmentFailure::MissingInput;
            summary.message = "the point list names a control row outside its table";
            return false;
        }
        if (!CollectMeasurements(*pointList, *controlPoints, *imagePoints, m, meas)) {
            why = AdjustmentFailure::MissingInput;
            summary.message = "the point list names a row outside its table";
            return false;
        }

        Problem pr;
        pr.measurements = &meas;
        pr.m = m;
        pr.p = p;
        pr.b = b;
        pr.free = options.Free;
        pr.k = static_cast<std::int32_t>(std::count(options.Free.begin(), options.Free.end(), true));
        if (!priors.empty()) {
            pr.priors = &priors;
            pr.imageSigma = weighting->imageSigma;
            for (const ControlPrior& prior : priors) pr.priorObservations += prior.observations;
        }
        const std::int64_t n64 = 2LL * static_cast<std::int64_t>(meas.size()) + pr.priorObservations;
        const std::int64_t ue64 = 3LL * p + 6LL * m;
        const std::int64_t u64 = ue64 + pr.k;
        summary.observations = static_cast<std::int32_t>(std::min<std::int64_t>(n64, INT32_MAX));
        summary.unknowns = static_cast<std::int32_t>(std::min<std::int64_t>(u64, INT32_MAX));
        summary.redundancy = summary.observations - summary.unknowns;
        if (n64 - u64 <= 0) {
            if (n64 - u64 < 0 && options.Message) options.Message(kTooFewObservationsMessage);
            why = n64 - u64 < 0 ? AdjustmentFailure::TooFewObservations : AdjustmentFailure::NoRedundancy;
            summary.message = "no redundancy: " + std::to_string(n64) + " observations, " + std::to_string(u64) +
                              " unknowns";
            return false;
        }
        if (!FitsMatrixSize(n64) || !FitsMatrixSize(u64 + 3LL * b)) {
            why = AdjustmentFailure::TooLarge;
            summary.message = "more than 65535 observations or unknowns";
            return false;
        }
        const long double limit = options.MemoryLimit > 0.0L ? options.MemoryLimit : AvailableMemory();
        const bool sparse = ResolveNormalSolve(options.Solve, u64 + 3LL * b) == NormalSolve::Sparse;
        const long double need = sparse ? SparseMemoryEstimate(n64, u64, m, 6 + pr.k)
                                        : BundleMemoryEstimate(n64, u64, 3LL * b, 6 + pr.k);
        if (need > limit) {
            why = AdjustmentFailure::Memory;
            summary.message = "more memory needed than is available";
            return false;
        }

        // Start values: the points at their BundlePointIndex positions, the
        // images at their BundleImageIndex positions.
        std::vector<long double> X(static_cast<std::size_t>(ue64), 0.0L);
        for (std::int32_t i = 1; i <= p; ++i) {
            const std::int32_t first = RoundId(pointIndex->GetPrvek(i, 2));
            if (first < 1 || static_cast<std::int64_t>(first) + 2 > startUnknowns->r) {
                why = AdjustmentFailure::MissingInput;
                summary.message = "a point's start values are missing";
                return false;
            }
            for (std::int32_t q = 0; q < 3; ++q) X[3 * (i - 1) + q] = startUnknowns->GetPrvek(first + q, 1);
        }
        for (std::int32_t j = 1; j <= m; ++j) {
            const std::int32_t first = RoundId(imageIndex->GetPrvek(j, 1));
            if (first < 1 || static_cast<std::int64_t>(first) + 5 > startUnknowns->r) {
                why = AdjustmentFailure::MissingInput;
                summary.message = "an image's start values are missing";
                return false;
            }
            for (std::int32_t q = 0; q < 6; ++q) X[3 * p + 6 * (j - 1) + q] = startUnknowns->GetPrvek(first + q, 1);
        }

        CameraParameters camera = start;
        if (!RunPasses(pr, options, X, camera, summary, v, cofactor, why)) return false;

        // Accuracy of the free parameters from the cofactor block of the last pass.
        const auto k = static_cast<std::size_t>(pr.k);
        if (cofactor.size() != k * k) {
            why = AdjustmentFailure::Singular;
            summary.message = "no cofactor matrix of the camera parameters";
            return false;
        }
        std::array<std::size_t, kCameraParameterCount> slot{};
        std::size_t next = 0;
        for (int j = 0; j < kCameraParameterCount; ++j) {
            if (options.Free[static_cast<std::size_t>(j)]) slot[static_cast<std::size_t>(j)] = next++;
        }
        for (int i = 0; i < kCameraParameterCount; ++i) {
            const auto si = static_cast<std::size_t>(i);
            if (!options.Free[si]) continue;
            const long double qii = cofactor[slot[si] * k + slot[si]];
            if (!(qii > 0.0L)) {
                why = AdjustmentFailure::Singular;
                summary.message = std::string("no positive variance of ") + CameraParameterName(i);
                return false;
            }
            summary.sd[si] = summary.m0 * std::sqrt(qii);
            for (int j = 0; j < kCameraParameterCount; ++j) {
                const auto sj = static_cast<std::size_t>(j);
                if (!options.Free[sj]) continue;
                const long double qjj = cofactor[slot[sj] * k + slot[sj]];
                summary.correlation[si][sj] =
                    i == j ? 1.0L : cofactor[slot[si] * k + slot[sj]] / std::sqrt(qii * qjj);
            }
        }
        summary.camera = camera;
        summary.adjusted = X;
        summary.measurements.clear();
        for (std::size_t h = 0; h < meas.size(); ++h) {
            CalibrationObservation o;
            o.point = meas[h].number;
            o.listRow = meas[h].point + 1;
            o.image = meas[h].image + 1;
            o.control = meas[h].control;
            o.x = meas[h].x;
            o.y = meas[h].y;
            o.vx = v[2 * h];
            o.vy = v[2 * h + 1];
            summary.measurements.push_back(o);
        }
        return true;
    });
    if (!ok) {
        if (AllocationFailureCount() != allocationFailures) {
            summary.failure = AdjustmentFailure::Memory;
            summary.message = "an allocation failed";
        } else if (why != AdjustmentFailure::None) {
            summary.failure = why;
        } else if (LastGuardFailure().serial != guardFailures &&
                   LastGuardFailure().kind == GuardFailure::Kind::Fault) {
            summary.failure = AdjustmentFailure::Fault;
            if (summary.message.empty()) summary.message = "overflow, division by zero or an invalid operation";
        } else {
            summary.failure = AdjustmentFailure::Other;
            if (summary.message.empty()) summary.message = "failed";
        }
        // Nothing of a failed calibration passes for a result.
        summary.camera = start;
        summary.sd = {};
        summary.correlation = {};
        summary.adjusted.clear();
        summary.measurements.clear();
    }
    return ok;
}

}  // namespace pelvanor
