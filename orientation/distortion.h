#pragma once
// Lens distortion correction of measured image coordinates (radial k1, k2,
// k3 and decentring p1, p2 about the principal point), with the measuring
// system's y axis reversed.  For one point (x, y):
//
//   xb = x - x0, yb = y - y0, r^2 = xb^2 + yb^2,
//   dr = k1 r^2 + k2 r^4 + k3 r^6,
//   dx = xb dr + p1 (r^2 + 2 xb^2) + 2 p1 xb yb,
//   dy = yb dr + p2 (r^2 + 2 yb^2) + 2 p2 xb yb,
//   x' = x + dx,  y' = -(y + dy).
//
// Each decentring coefficient acts on its own axis only, and the principal
// point only forms xb, yb: it stays in the corrected coordinates, at
// (x0, -y0), which is where the collinearity equations expect it.  The
// camera constant f is accepted with the other parameters and not used.

#include "matrix/matice.h"

namespace pelvanor {

// table N x 4 (number, x, y, fourth value) -> result N x 3 (number, x', y').
// The result is created first and belongs to the caller also on failure.
bool CorrectImagePoints(const Matice* table, MatPtr& result, long double x0, long double y0,
                        long double f, long double k1, long double k2, long double k3,
                        long double p1, long double p2);

// table N x 6 (number, X, Y, Z, x, y) -> result N x 6 with x, y corrected.
bool CorrectControlPoints(const Matice* table, MatPtr& result, long double x0, long double y0,
                          long double f, long double k1, long double k2, long double k3,
                          long double p1, long double p2);

}  // namespace pelvanor
