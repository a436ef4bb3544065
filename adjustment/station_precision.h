#pragma once
// The precision of the exterior orientations a bundle adjustment gave: the
// standard deviation of every image's X0, Y0, Z0, alfa, beta, gama (and
// camera constant f) from the cofactor matrix of the adjusted unknowns.
//
// The kept results of a bundle adjustment come from a run with unit weights
// (the run without the outliers of the robust estimation, or the only run
// when it is off), so the cofactor matrix is Q = N_free^-1 with
// N_free = A^T A over the unknowns that are not held by the datum (the
// coordinates of the first b control points of the point list, b the fixed
// point count clamped to the control points there), and
//
//     sigma_k = m0 sqrt(Q_kk).
//
// A is linearised at the adjusted unknowns.  Only the images' block of Q is
// needed, and N_free has the arrow shape of every bundle adjustment
// (P: one 3 x 3 block per free point, V: the image unknowns, W between), so
// that block is the inverse of the reduced image system
//
//     Q_images = (V - W^T P^-1 W)^-1,
//
// of order 6m or 7m, factorised by Cholesky (the usual partitioning of the
// normal equations of a bundle adjustment into point and image unknowns,
// e.g. Mikhail, Observations and Least Squares, 1976).

#include <cstdint>

#include "matrix/matice.h"

namespace pelvanor {

// `pointList`, `imageIndex`, `unknowns`: BundleObservationTable, the image
// index and the unknown vector of the adjustment (BundleImageIndex and
// BundleUnknowns, or their F variants with `withCameraConstant`); the
// measurements come from `controlTable` (columns 5, 6) and `imageTable`
// (columns 2, 3), as the adjustment read them; x0, y0 the principal point,
// f the camera constant of the adjustment without one of its own; m0 its
// a-posteriori unit standard deviation.
// `sigmas` receives m x 6 (x 7 with the camera constant): row j the
// standard deviations of image j's X0, Y0, Z0 (units of the coordinates),
// alfa, beta, gama (radians) (and f, image units).  False when an input is
// missing or inconsistent, when a free point's or the images' block is not
// positive definite (a datum defect or a point seen along one ray only), or
// on a floating-point fault.
bool StationStandardDeviations(const Matice* controlTable, const Matice* imageTable, const Matice* pointList,
                               const Matice* imageIndex, const Matice* unknowns, bool withCameraConstant,
                               long double x0, long double y0, long double f, std::int32_t fixedCount,
                               long double m0, MatPtr& sigmas);

}  // namespace pelvanor
