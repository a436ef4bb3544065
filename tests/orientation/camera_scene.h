#pragma once
// Synthetic images for the orientation tests: control points projected with
// the collinearity model from a known exterior orientation, optionally with
// Gaussian noise on the image coordinates.

#include <cstdint>
#include <vector>

#include "matrix/matice.h"

namespace pelvanor::test {

struct TrueImage {
    long double alfa = 0.0L, beta = 0.0L, gama = 0.0L;
    long double X0 = 0.0L, Y0 = 0.0L, Z0 = 0.0L;
};

struct Interior {
    long double x0 = 0.0L, y0 = 0.0L, f = 0.0L;
};

struct ObjectPoint {
    std::int32_t number = 0;
    long double X = 0.0L, Y = 0.0L, Z = 0.0L;
};

// The 9 rotation elements of an image.
std::vector<long double> RotationOf(const TrueImage& image);

// Image coordinates (x, y) of a point as the collinearity model computes
// them (corrected coordinates, y axis already reversed).
void ProjectPoint(const TrueImage& image, const Interior& camera, const ObjectPoint& p,
                  long double& x, long double& y);

// Control table N x 6 (number, X, Y, Z, x, y) of all images, blocks in image
// order, each image seeing every point; noise of `sigma` (standard
// deviation) on x and y from a fixed seed.  Fills counts (n x 1) and ranges
// (n x 2).
MatPtr ControlTable(const std::vector<TrueImage>& images, const Interior& camera,
                    const std::vector<ObjectPoint>& points, long double sigma, std::uint32_t seed,
                    MatPtr& counts, MatPtr& ranges);

// Largest difference of a rotation row (9 elements) from the truth.
long double RotationError(const Matice& orientation, int row, const TrueImage& truth);

}  // namespace pelvanor::test
