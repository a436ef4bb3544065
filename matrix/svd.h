#pragma once
// Singular value decomposition (Golub-Reinsch: Householder bidiagonalisation,
// accumulation of both transformations, implicitly shifted QR, at most 30
// iterations per singular value) and the pseudo-inverse built on it.

#include <cstdint>
#include <stdexcept>

#include "matrix/matice.h"

namespace pelvanor {

// Thrown by Svdcmp: "no convergence in 30 SVDCMP iterations".
class SvdError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// a (m x n) is overwritten with U; w (n x 1) receives the singular values
// (>= 0, unsorted), v (n x n) the right singular vectors in its columns.
// Throws SvdError on non-convergence, and ComputationCancelled between its
// steps when the thread's cancellation question says so (see
// matrix/cancellation.h); faults pass to the caller.
void Svdcmp(Matice& a, MatPtr& w, MatPtr& v);

// n x n diagonal of 1/w(i) for w(i) > tol, 0 otherwise; flag = not all zeroed.
MatPtr ReciprocalDiagonal(const Matice& w, bool& flag, long double tol);
// tol = (sqrt(m + n + 1) * 0.5) * max|w| * 1e-16.
MatPtr ReciprocalDiagonalAuto(const Matice& w, std::int32_t m, std::int32_t n, bool& flag);
// V * diag(1/w) * U^T (n x m), or null with flag false.  A is not changed.
// Do not catch SvdError or ComputationCancelled: they reach the caller.
MatPtr PseudoInverse(const Matice& A, bool& flag);
MatPtr PseudoInverseTol(const Matice& A, bool& flag, long double tol);

// Both take their arguments rounded to double and return that double widened.
long double TransferSign(double a, double b);
long double MaxOf(double a, double b);
long double Pythag(long double a, long double b);

}  // namespace pelvanor
