#pragma once
// First exterior orientation of every image from four control points in
// general position, without start values.  Per image, three small
// least-squares problems: the distances from the projection centre to the
// four points (law of cosines over the six ray angles), the centre from the
// four distances (intersection of four spheres), and an approximate rotation
// from the rays scaled to those distances.  The rotation is exact only for a
// rotation about a single axis; the orientation refinement removes the rest.

#include <cstdint>

#include "matrix/matice.h"

namespace pelvanor {

// Passes allowed to each of the two iterations.  They stop when the unit
// standard deviation changes by no more than the tolerance (in percent); on
// data without noise it sinks to rounding level, its relative change stays
// large and only this bound ends the loop, with the last values accepted.
// Data with noise converge in some ten to twenty passes.
inline constexpr std::int32_t kSpaceResectionMaxPasses = 100;

// Passes used by the two iterations of one image (for diagnostics).
struct SpaceResectionPasses {
    std::int32_t distances = 0;
    std::int32_t centre = 0;
};

// points: 4 x 6 (number, X, Y, Z, x, y).  orientation: 1 x 16, r11 .. r33,
// X0, Y0, Z0, then four zeros.  A tolerance of 100 or more skips both
// iterations and keeps their start values.
bool SpaceResectionImage(const Matice& points, MatPtr& orientation, long double tolerance,
                         long double f, long double x0, long double y0,
                         SpaceResectionPasses* passes = nullptr);

// selected: 4 rows per image (rows 4i-3..4i for image i); only the row count
// of rowCounts (the number of images n) is used.  orientations: n x 16,
// created first and owned by the caller also on failure.
bool SpaceResection(const Matice* selected, const Matice* rowCounts, MatPtr& orientations,
                    long double tolerance, long double f, long double x0, long double y0);

}  // namespace pelvanor
