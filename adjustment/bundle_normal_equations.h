#pragma once
// The linear algebra of one pass of the bundle adjustment.
//
// The observation equations of a pass are held in compact form: a row of the
// design matrix A has non-zeros only in the three columns of its point's
// X, Y, Z, in the six (or seven, with a camera constant per image) columns
// of its image and, when the camera is calibrated, in the columns every row
// shares (the camera's free parameters, after all image columns).  The dense
// formulation of a pass is
//
//     N = (A^T W) A,  g = (A^T W) l,  K = [[N, C^T], [C, 0]],  r = [g; 0],
//     S = K^+ (singular values <= 1e-32 dropped),  z = -(S r)  (halved on request),
//     d = z(1 .. u),  v = A d + l,  vtv = v^T v,
//
// with W = diag(w) (or I), C = [I(3b) 0] holding the fixed coordinates of the
// datum points, and every matrix product summed over k = 1..K in increasing k.
// SolveBundlePass evaluates exactly these sums from the non-zeros only: a sum
// with a zero term added is the same number as the sum without it, and the
// non-zeros of every element are visited in increasing k, so the results are
// bit for bit those of the dense products, at a fraction of the work.

#include <cstdint>
#include <functional>
#include <vector>

#include "matrix/matice.h"

namespace pelvanor {

// Largest number of non-zeros of one compact row: 3 of the point, at most 7
// of the image and at most 8 of the camera (f, x0, y0, k1, k2, k3, p1, p2).
inline constexpr std::int32_t kMaxBundleRowWidth = 18;

struct BundleRows {
    std::int32_t n = 0;            // observation rows
    std::int32_t u = 0;            // unknowns
    std::int32_t fixed = 0;        // constrained coordinates 3b (the first 3b unknowns)
    std::int32_t imageWidth = 6;   // unknowns per image: 6, or 7 with the camera constant
    // Unknowns every row has a coefficient for (the free camera parameters
    // of a calibration): the last globalWidth columns, u - globalWidth ..
    // u - 1, after every image column.  0 in the bundle adjustment proper.
    std::int32_t globalWidth = 0;
    // Per row h (0-based): first column (0-based) of the point's X and of the
    // image's X0.  Point columns always precede image columns.
    std::vector<std::int32_t> pointColumn;
    std::vector<std::int32_t> imageColumn;
    // Row h's coefficients at a[h * Width() + q]: q = 0..2 the point's
    // X, Y, Z, then the image's unknowns in their order, then the global ones.
    std::vector<long double> a;
    std::vector<long double> l;  // misclosures, computed minus measured

    std::int32_t Width() const { return 3 + imageWidth + globalWidth; }
    // First (0-based) of the global columns.
    std::int32_t GlobalColumn() const { return u - globalWidth; }
    // Surveyed coordinates observing a point's own unknowns (weighted
    // control): the rows of the identity with weights P = diag(weight),
    // adding P to the point's 3 x 3 block of N and P l to g after every
    // image row; their weighted squares P (l + d)^2 join v^T v.  One entry
    // per weighted point, in increasing column, none of the fixed points.
    struct PointPrior {
        std::int32_t column = 0;  // first (0-based) unknown of the point's X, Y, Z
        long double weight[3] = {0.0L, 0.0L, 0.0L};  // 0: that coordinate is not observed
        long double l[3] = {0.0L, 0.0L, 0.0L};       // current minus surveyed
    };
    std::vector<PointPrior> priors;
};

// One measurement of a point on an image, as a point list names it (pairs
// table row, image number; a negative image number a control measurement).
struct ListMeasurement {
    std::int32_t point = 0;     // 0-based position in the point list
    std::int32_t image = 0;     // 0-based
    long double number = 0.0L;  // the point's number
    bool control = false;       // read from the control table
    long double x = 0.0L;       // the table's image coordinates
    long double y = 0.0L;
};

// The measurements of every point of the list in assembly order, reading
// control measurements from the control table's columns 5, 6 and tie
// measurements from the image table's columns 2, 3.  False when an entry
// points outside its table or names an image beyond m.
bool CollectMeasurements(const Matice& list, const Matice& controlTable, const Matice& imageTable,
                         std::int32_t m, std::vector<ListMeasurement>& out);

// Seconds spent in the pseudo-inverse and in the whole adjustment, for the
// benchmark.
struct BundleTimings {
    double pseudoInverseSeconds = 0.0;
    double totalSeconds = 0.0;
    std::int32_t passes = 0;
    // Passes solved by point elimination, by the pseudo-inverse, and those
    // of the former handed to the latter (certificate failed); whether the
    // last pass (the results) came from the elimination.
    double sparseSeconds = 0.0;
    std::int32_t sparsePasses = 0;
    std::int32_t svdPasses = 0;
    std::int32_t fallbackPasses = 0;
    bool lastPassSparse = false;
    // One record per adjustment run (BundleAdjust or BundleAdjustWithF), in
    // the order they ran.
    struct Adjustment {
        std::int32_t imageWidth = 0;  // 6, or 7 with the camera constant
        std::int64_t order = 0;       // u + 3b of the bordered matrix
        bool ok = false;
        double seconds = 0.0;
        double cpuSeconds = 0.0;      // processor time of every thread
        std::int32_t passes = 0;
        std::int32_t sparsePasses = 0;
        std::int32_t svdPasses = 0;
        std::int32_t fallbackPasses = 0;
    };
    std::vector<Adjustment> adjustments;
    std::int64_t lastOrder = 0;  // set by the adjustment that runs
};

// Solves one pass.  weights: one per row, or null for W = I.  d receives u
// entries, v receives n.  False when the pseudo-inverse fails (no singular
// value above the tolerance, no convergence); faults pass to the caller.
using BundlePassSolver =
    std::function<bool(const BundleRows& rows, const std::vector<long double>* weights,
                       bool halve, std::vector<long double>& d, std::vector<long double>& v,
                       long double& vtv)>;

// Buffers kept from one pass to the next.
struct BundleWorkspace {
    MatPtr K;
    std::vector<long double> rhs;
    std::vector<long double> aw;
    BundleTimings* timings = nullptr;
    // With global columns: their block of the cofactor matrix of the pass,
    // globalWidth x globalWidth row by row, i.e. the global rows and columns
    // of the pseudo-inverse of the bordered matrix (under the datum
    // constraints).  Left empty without global columns.
    std::vector<long double> globalCofactor;
};

bool SolveBundlePass(const BundleRows& rows, const std::vector<long double>* weights, bool halve,
                     BundleWorkspace& workspace, std::vector<long double>& d,
                     std::vector<long double>& v, long double& vtv);

// The singular value tolerance of the bordered normal matrix.
inline constexpr long double kBundlePseudoInverseTolerance = 1e-32L;

// The residuals of a pass, v = A d + l with the corrections d, into `v`
// (n entries), each row's sum in the order of its coefficients; returns the
// unweighted sum of squares v^T v of the image rows, plus the weighted
// squares of the point priors.  Both solves of a pass end with it.
long double PassResiduals(const BundleRows& rows, const std::vector<long double>& d,
                          std::vector<long double>& v);

// Bytes the adjustment needs at its peak for n rows, u unknowns and 3b
// constraints (the bordered matrix and the workspace of its pseudo-inverse
// dominate).
long double BundleMemoryEstimate(std::int64_t n, std::int64_t u, std::int64_t fixed,
                                 std::int32_t imageWidth);
// Bytes this process can still allocate: the smaller of the system's
// available memory and what is left under the address-space and data
// limits after what the process already holds.
long double AvailableMemory();

}  // namespace pelvanor
