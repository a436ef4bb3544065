#pragma once
// How precisely a finished bundle adjustment determined each image's
// exterior orientation (and camera constant).
//
// The cofactor matrix of the unknowns is the inverse of the normal matrix
// N = A^T W A under the datum constraints, i.e. of N without the rows and
// columns of the fixed points' coordinates.  Its image block is the inverse
// of the reduced image system that the elimination of the points leaves,
//
//     Q_images = (V - W^T P^-1 W)^-1        (see schur_solve.h),
//
// so a standard deviation is m0 sqrt(Q_kk) with the adjustment's a-posteriori
// unit standard deviation m0 (the covariance m0^2 N^-1 of least-squares
// estimates).  The design matrix is taken at the adjusted unknowns.  Where the elimination's certificate fails (a point or
// an image whose unknowns the observations do not separate), the image block
// is read from the pseudo-inverse of the bordered normal matrix instead, as
// the adjustment itself would solve that system.

#include <cstdint>

#include "adjustment/control_weighting.h"
#include "matrix/matice.h"

namespace pelvanor {

// Standard deviations of X0, Y0, Z0 (object units), alfa, beta, gama
// (radians) and, for imageWidth 7, f (image units) of every image of a
// finished adjustment: `deviations` becomes m x imageWidth, row j image j.
//
// The inputs are those of the adjustment and its results: the control and
// image tables it read, its point list, its unknowns and image index
// (BundleUnknownsF and BundleImageIndexF for imageWidth 7), the fixed count
// it was given, its observation weights (null: unit weights, as in every
// adjustment whose results are kept without robust weighting), the
// weighting of its control (null or inactive: the fixed points alone hold
// the datum) and its m0.
// x0, y0 and, for imageWidth 6, f are the camera's.  `byElimination`, when
// given, tells whether the point elimination gave the result.
//
// False on inconsistent inputs, when neither solve succeeds, or on any
// floating-point fault.
bool ImageStandardDeviations(const Matice* controlTable, const Matice* imageTable,
                             const Matice* pointList, const Matice* unknowns,
                             const Matice* imageIndex, std::int32_t imageWidth, long double x0,
                             long double y0, long double f, std::int32_t fixedCount,
                             const Matice* weights, const ControlWeighting* weighting, long double m0,
                             MatPtr& deviations, bool* byElimination = nullptr);

}  // namespace pelvanor
