#pragma once
// Projects for the adjustment tests: tables built from a synthetic truth or
// read from the real data sets, the orientation tables of stations, and the
// dense formulation of a bundle pass to compare the sparse one with.

#include <array>
#include <string>
#include <vector>

#include "adjustment/bundle_adjustment.h"
#include "matrix/matice.h"
#include "tools/synth/synth.h"

namespace pelvanor::test {

// Corrected measurement tables and the index tables of one project, as the
// orientation pipeline leaves them.
struct BundleData {
    long double x0 = 0.0L;
    long double y0 = 0.0L;
    long double f = 0.0L;
    MatPtr control;        // ControlPointsCorrected
    MatPtr controlCounts;  // ControlPointCounts (rows per image)
    MatPtr image;          // ImagePointsCorrected
    MatPtr imageCounts;
    MatPtr tieIndex;       // TiePointOccurrences
    MatPtr tieCounts;      // TiePointImageCounts
    MatPtr controlIndex;   // ControlPointOccurrences
    MatPtr controlTable;   // ControlPointImageCounts
};

// One row per measurement: number, X, Y, Z, x, y (control) or number, x, y (points).
using Rows = std::vector<std::vector<long double>>;

// Builds every table from the per-image measurement rows (already corrected).
BundleData BuildData(const std::vector<Rows>& controlPerImage, const std::vector<Rows>& pointsPerImage,
                     long double x0, long double y0, long double f);

// The measured (noisy, corrected-frame) coordinates of a synthetic project,
// image coordinates multiplied by `scale` (with f, x0, y0): a scale of 4000
// turns the generator's unit f = 1 into pixels of a 6000 x 4000 frame.
BundleData FromSynth(const synth::Project& project, long double scale);

// The `variant` folder of a real data set, distortion-corrected.  Empty
// image files give the 1 x 3 zero image table.
BundleData LoadReal(const std::string& dataset, const std::string& variant);

// Orientation table rows (r11 .. r33, X0, Y0, Z0) of stations.
MatPtr OrientationTable(const std::vector<synth::Station>& stations);
// Rows of ref_R.txt and the positions of ref_eo_dbat.txt of a real data set,
// with the standard deviations (sX sY sZ in object units, angles in degrees).
struct ReferenceEo {
    MatPtr orientation;                    // n x 12
    std::vector<std::array<long double, 6>> sigma;
};
ReferenceEo LoadReference(const std::string& dataset);
// Moves every centre by `dp` (alternating signs per coordinate and image) and
// rotates every image by small angles of about `da` radians.
MatPtr Perturb(const Matice& orientation, long double dp, long double da);

// Everything BundleAdjust hands out.
struct BundleResult {
    bool ok = false;
    MatPtr unknowns, pointList, imageIndex, pointIndex, weights;
    std::int32_t passes = 0;
    long double m0 = 0.0L;
    std::int32_t redundancy = 0;
    BundleSummary summary;
};
BundleResult RunBundle(const BundleData& data, const Matice& startPoints, const Matice& startOrientations,
                       bool robust, std::int32_t fixedCount, const BundleOptions& options);
BundleResult RunBundleWithF(const BundleData& data, const BundleResult& first, bool robust,
                            std::int32_t fixedCount, long double tolerance, const BundleOptions& options);

// The pass solver evaluated with full matrices: W as an n x n matrix,
// (A^T W) A and (A^T W) l by MatMul, z = -(S r) by MatMul and MatScale.
bool DensePass(const BundleRows& rows, const std::vector<long double>* weights, bool halve,
               std::vector<long double>& d, std::vector<long double>& v, long double& vtv);

// Cofactor matrix of the constrained solution (top-left u x u block of the
// pseudo-inverse of the bordered normal matrix), unit weights.
MatPtr ConstrainedCofactors(const BundleRows& rows);

// Rotation matrix rows from six unknowns at `first` (1-based).
std::array<long double, 9> RotationOf(const Matice& unknowns, std::int32_t first);

}  // namespace pelvanor::test
