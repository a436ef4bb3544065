#pragma once
// A second way to solve one pass of the bundle adjustment: the normal
// equations reduced by the datum constraints and solved by eliminating the
// points (Schur complement onto the image unknowns).
//
// The constraints C d = 0 of the bordered system K = [[N, C^T], [C, 0]]
// hold the corrections of the first 3b unknowns (the fixed points'
// coordinates) at zero.  When N restricted to the remaining unknowns,
// N_free, is positive definite, K is regular, its pseudo-inverse is its
// inverse, and the correction of the pass is the unique solution of
//
//     N_free d_free = -g_free,   d_fixed = 0.
//
// N_free has the arrow shape of every bundle adjustment:
//
//     [ P   W ] [d_p]     [g_p]      P: one 3 x 3 block per free point
//     [ W^T V ] [d_i] = - [g_i]      V: the image unknowns, 6 or 7 per image
//
// Eliminating the points gives the reduced system of the images,
//
//     (V - W^T P^-1 W) d_i = -(g_i - W^T P^-1 g_p),
//
// of order 6m or 7m, dense but small; it is factorised by Cholesky in
// extended precision, and every point follows from its own 3 x 3 block,
// d_p = -P^-1 (g_p + W d_i).  Only the compact rows, one 3 x w block per
// measurement and the reduced matrix are held: memory grows with the
// observations plus (7m)^2, time with the observations times the images a
// point is seen on, plus (7m)^3.
//
// Certificate.  The elimination is used only where it is safe; otherwise the
// pass is solved by the pseudo-inverse of the bordered matrix
// (SolveBundlePass) and its results are those exactly.  See
// kSparsePivotRatio for the test.

#include <cstdint>
#include <vector>

#include "adjustment/bundle_normal_equations.h"
#include "matrix/project_parameters.h"

namespace pelvanor {

// NormalSolve (matrix/project_parameters.h) selects the solve: Svd is
// SolveBundlePass, Sparse the elimination below with the pseudo-inverse
// where its certificate fails, Auto Svd up to kAutoSvdMaxOrder and Sparse
// above.

// Largest order u + 3b of the bordered normal matrix that Auto still solves
// by the pseudo-inverse: the order at which one pass takes about a second on
// a two-processor machine.  Measured with bench/scale_bench --svd-orders
// (Release, one pass of BundleAdjust on a generated 10-image block,
// processor time, which the other load of the shared machine inflates
// least):
//     order            114    198    300    399    450    498    600    798
//     one thread s   0.019  0.094  0.276  0.592  0.915  1.223  2.111  4.808
// i.e. about 10 ns order^3.  At 450 a pass takes a second even when the
// second processor is busy with other work; with both processors free the
// split kernels take about 0.6 of that (the pseudo-inverse of order 800 ran
// 1.67 times as fast on two threads as on one on a quieter machine).  The
// real calibration sheet (21 images, 100 points) has order 300 without and
// 321 with the camera constant and stays with the pseudo-inverse.
inline constexpr std::int32_t kAutoSvdMaxOrder = 450;

// Svd or Sparse: what `selected` means for a bordered matrix of `order`.
NormalSolve ResolveNormalSolve(NormalSolve selected, std::int64_t order);

// The timings every BundleOptions starts with: none, unless a benchmark
// collects them for every adjustment it runs.
BundleTimings* DefaultBundleTimings();
void SetDefaultBundleTimings(BundleTimings* timings);

// The pivot test of the certificate.  A symmetric positive definite matrix
// is factorised by Cholesky, N = L L^T; the pivot of column k is L_kk^2.
// Relative to the column's own diagonal N_kk, the pivot is the squared sine
// of the angle between column k of the (weighted) design matrix and the
// columns eliminated before it:
//
//     L_kk^2 / N_kk = |a_k|^2 sin^2(theta_k) / |a_k|^2 = sin^2(theta_k).
//
// So the ratio does not depend on the units of the unknowns (metres,
// radians, pixels of the camera constant differ by many orders of
// magnitude, which is why a test against the largest diagonal would be
// either blind for the small ones or alarmed by the large ones), and it is
// zero exactly when the column depends on the earlier ones: a datum defect
// (no fixed point: seven free parameters of a similarity transform; two
// fixed points: the rotation about their joining line), a point whose every
// observation has weight zero, an image without observations.  In such a
// rank-deficient system the pivot is rounding noise, about the unit
// roundoff of extended precision (5.4e-20) times the order, at most about
// 1e-16.  The threshold 1e-12 leaves four orders of magnitude above that
// noise, and still accepts any geometry a photogrammetrist would adjust:
// 1e-12 is a column within a microradian of its predecessors' span, i.e.
// correlations of 1 - 5e-13; two rays intersecting at 0.1 degrees give a
// point pivot ratio of about 1e-6.  Below the threshold the pass is handed to
// the pseudo-inverse, whose minimum-norm treatment of (near) singular
// systems is the reference.
inline constexpr long double kSparsePivotRatio = 1e-12L;

// Buffers of the sparse solve, kept from one pass to the next.
struct SparseWorkspace {
    std::vector<std::int32_t> start;   // first entry of each point in `order`
    std::vector<std::int32_t> order;   // rows grouped by point, increasing within a point
    std::vector<std::int32_t> blockStart;  // per point: first of its image blocks
    std::vector<std::int32_t> blockImage;  // per block: image (0-based)
    std::vector<long double> blocks;   // per block: W (3 x w) then P^-1 W (3 x w)
    std::vector<long double> factor;   // per point: Cholesky factor of P (3 x 3), g_p (3)
    std::vector<long double> reduced;  // the reduced image system, then its factor
    std::vector<long double> diagonal; // diagonal of V before the elimination
    std::vector<long double> rhs;      // g_i - W^T P^-1 g_p
};

// One pass by point elimination.  Arguments and results as SolveBundlePass.
// False when the certificate fails (a pivot below kSparsePivotRatio times
// its diagonal, a structure other than 3 unknowns per point followed by w
// per image, a floating-point fault); d, v and vtv are then unspecified and
// the caller's fault flags are as before the call.
bool SolveBundlePassSparse(const BundleRows& rows, const std::vector<long double>* weights,
                           bool halve, SparseWorkspace& workspace, std::vector<long double>& d,
                           std::vector<long double>& v, long double& vtv);

// One pass with the selected solve.  Svd: exactly SolveBundlePass.  Sparse
// (or Auto above kAutoSvdMaxOrder): SolveBundlePassSparse, and where its
// certificate fails SolveBundlePass, provided the bordered matrix fits into
// `memoryLimit` bytes (0: the machine's available memory); false otherwise.
// `eliminated` tells whether the elimination gave d, v and vtv.  Counts the
// passes of each kind in dense.timings when set.
bool SolveBundlePassWith(NormalSolve solve, const BundleRows& rows,
                         const std::vector<long double>* weights, bool halve,
                         BundleWorkspace& dense, SparseWorkspace& sparse, long double memoryLimit,
                         std::vector<long double>& d, std::vector<long double>& v,
                         long double& vtv, bool& eliminated);

// Bytes the sparse solve needs at its peak for n rows, u unknowns and m
// images of width imageWidth.
long double SparseMemoryEstimate(std::int64_t n, std::int64_t u, std::int64_t images,
                                 std::int32_t imageWidth);

}  // namespace pelvanor
