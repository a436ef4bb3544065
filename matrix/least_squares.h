#pragma once
// The unweighted least-squares step shared by the orientation methods, the
// orientation refinement, the approximate object coordinates and the spatial
// intersection: dx = ((A^T A)^+ A^T) l and the accuracy of the fit.

#include "matrix/matice.h"

namespace pelvanor {

// dx (u x 1) always receives a new matrix: the solution, or zeros on failure.
// When `normalInverse` is given it receives (A^T A)^+ on success, for
// ResidualsAndAccuracy of the same A.
bool SolveNormal(const Matice& A, const Matice& l, MatPtr& dx, MatPtr* normalInverse = nullptr);

// v = A dx - l, vtv = v^T v, vtvCheck = (-l^T A) dx + l^T l,
// m0 = sqrt(vtv / (n - u)), mx(1,i) = sqrt(Qxx(i,i)) * m0 with Qxx = (A^T A)^+.
// Outputs assigned before a failing step keep their values.  Qxx is
// `normalInverse` when given (SolveNormal's of the same A: the same
// operations on the same numbers, so the same bits, for half the work),
// otherwise it is computed here.
bool ResidualsAndAccuracy(const Matice& A, const Matice& l, const Matice& dx, MatPtr& v,
                          MatPtr& vtv, MatPtr& vtvCheck, long double& m0, MatPtr& mx,
                          const Matice* normalInverse = nullptr);

}  // namespace pelvanor
