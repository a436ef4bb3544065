#pragma once
// Bundle adjustment: the exterior orientations of all images and the object
// coordinates of all points that enter, refined together from every image
// measurement of those points by Gauss-Newton passes on the collinearity
// equations.  The datum is the known position of the first b control points
// (b = min(fixed count, number of control points)); their corrections are
// held at zero by constraint equations bordering the normal matrix.
//
// Point list (BundleObservationTable): the control points measured on two or
// more images, then the tie points measured on two or more images, each row
// (number, then (row, image) pairs; control image numbers negated).  Point i
// owns the unknowns 3i-2 .. 3i; image j's unknowns follow all points:
// X0 Y0 Z0 alfa beta gama (and f).  Observation rows come in point-list
// order, a pair of rows (x, y) per measurement.

#include <cstdint>
#include <functional>
#include <string>

#include "adjustment/bundle_normal_equations.h"
#include "adjustment/schur_solve.h"
#include "matrix/matice.h"

namespace pelvanor {

// Shown to the user when an adjustment has more unknowns than observations.
inline constexpr const char* kTooFewObservationsMessage =
    "Chyba - menší počet meření než neznámých";

// Why an adjustment returned false; None when it succeeded.
enum class AdjustmentFailure {
    None,
    MissingInput,        // an input missing or inconsistent with the others
    NoPoints,            // no point measured on two images enters
    TooLarge,            // more than 65535 observation rows or unknowns
    TooFewObservations,  // fewer observations than unknowns
    NoRedundancy,        // exactly as many observations as unknowns
    Memory,              // more memory needed than is available, or an allocation failed
    Singular,            // the normal equations of a pass could not be solved
    Divergence,          // the solution ran away (m0 grew a thousandfold)
    Fault,               // overflow, division by zero or an invalid operation
    Other,
};

// Settings and hooks of one adjustment; the adjustment only reads them.
struct BundleOptions {
    std::int32_t MaxIterations = 20;  // at most MaxIterations + 1 passes run
    long double Tolerance = 0.1L;     // BundleAdjust: relative change of m0 in percent
    // How the passes solve their normal equations (without a Solver below):
    // the pseudo-inverse of the bordered matrix unless chosen otherwise.
    NormalSolve Solve = NormalSolve::Svd;
    // Bytes the adjustment may use; 0 asks the machine (AvailableMemory).
    long double MemoryLimit = 0.0L;
    // Replaces the sparse pass solver (the tests run the dense formulation through it).
    BundlePassSolver Solver;
    BundleTimings* Timings = DefaultBundleTimings();
    // Receives the user message above (the window shows it).
    std::function<void(const std::string&)> Message;
    // Called at the start of every pass with its number (1, 2, ...) and the
    // m0 of the pass before (0 before the first), for a progress display.  A
    // false answer stops the adjustment, which then fails.  It must leave the
    // floating-point fault flags as it found them.
    std::function<bool(std::int32_t pass, long double m0)> PassStarting;
    // Called after every pass with its number and m0, for a summary of the
    // passes; the same rule for the fault flags.
    std::function<void(std::int32_t pass, long double m0)> PassDone;
};

// What one adjustment reports beside its specified outputs.  Every call
// starts it afresh.
struct BundleSummary {
    // Why the adjustment returned false; None when it succeeded.  The bool
    // it returns stays the result.
    AdjustmentFailure failure = AdjustmentFailure::None;
    // Why the passes stopped or why the adjustment failed, in plain English
    // for developers and logs (never shown to the user).
    std::string message;
    // The passes ran to their end (not stopped by a pass that failed).  Only
    // then does limitReached say anything.
    bool passesEnded = false;
    // The passes ended on the pass limit while m0 still changed by more than
    // the tolerance.  The number of passes alone cannot tell: the last
    // permitted pass may meet the change test.
    bool limitReached = false;
    // Passes whose corrections the point elimination gave (the protocols say
    // so when any did).
    std::int32_t eliminatedPasses = 0;
    // The residuals of the adjustment: k x 2, row h the pair (vx, vy) of the
    // h-th measurement in observation order (design rows 2h-1 and 2h, the
    // rows of the weights), v = A d + l of the last pass, computed minus
    // measured in the corrected image frame.  Its m0 is
    // sqrt(v^T v / redundancy).  Set only when the adjustment succeeds after
    // at least one pass, so that residuals always belong to the unknowns
    // handed out beside them.
    MatPtr residuals;
};

// Six unknowns per image, camera constant f held.  Corrections are halved in
// every pass.  With `robust` the normal equations are weighted from the
// residuals of the previous pass: 1 in pass 1, exp(-0.05 |v|^4.4) in pass 2,
// exp(-0.05 |v|^3) later, and 1 always for the rows of the fixed points; the
// weights are computed and returned also without `robust`.
//
// Control points take their known X, Y, Z from their own rows of the control
// table.  The tie and control counts tables are accepted for the call sites;
// the observations are counted from the index tables themselves, and a point
// with fewer than two measurements does not enter.  With no tie point the
// control points are adjusted alone.
//
// False on missing or inconsistent inputs, a tie point without start
// coordinates, a problem larger than the memory allows or than 65535 rows or
// unknowns, fewer observations than unknowns (the message above is sent
// first), a failed pseudo-inverse, any floating-point fault, or divergence (a
// final m0 above 1000 times the m0 of the first pass).  Outputs created
// before a failure stay with the caller.
bool BundleAdjust(bool robust, const Matice* controlTable, const Matice* imageTable,
                  const Matice* tieIndex, const Matice* tieCounts, const Matice* controlIndex,
                  const Matice* controlCounts, const Matice* imageRows,
                  const Matice* startPoints, const Matice* startOrientations, long double x0,
                  long double y0, long double f, std::int32_t fixedCount,
                  const BundleOptions& options, BundleSummary& summary, MatPtr& unknowns, std::int32_t& passes,
                  long double& m0, MatPtr& pointList, MatPtr& imageIndex, MatPtr& pointIndex,
                  MatPtr& weights, std::int32_t& redundancy);

// Seven unknowns per image (the six and a camera constant of its own, started
// at f), starting from the result of BundleAdjust (its unknowns, point list,
// image index and point index).  Corrections are not halved; the convergence
// test uses `tolerance`.  With `robust` the normal equations are weighted in
// every pass by `robustWeights` (BundleWeights of the preceding BundleAdjust),
// which must hold one weight per observation row; the weights computed from
// the residuals go to `weights` as in BundleAdjust.  `tieCounts` is accepted
// for the call sites.  `robustWeights` may be the matrix `weights` replaces.
bool BundleAdjustWithF(bool robust, const Matice* controlTable, const Matice* imageTable,
                       const Matice* startUnknowns, const Matice* imageRows,
                       const Matice* pointList, const Matice* imageIndex,
                       const Matice* pointIndex, const Matice* tieCounts, long double x0,
                       long double y0, long double f, long double tolerance,
                       std::int32_t fixedCount, const Matice* robustWeights,
                       const BundleOptions& options, BundleSummary& summary, MatPtr& unknowns, std::int32_t& passes,
                       long double& m0, MatPtr& imageIndexF, MatPtr& weights,
                       std::int32_t& redundancy);

}  // namespace pelvanor
