#pragma once
// Reference forms of the decomposition, the pseudo-inverse and the matrix
// product, written plainly; the production code must agree with them bit for
// bit.

#include "matrix/matice.h"

namespace pelvanor::test {

void SvdcmpReference(Matice& a, MatPtr& w, MatPtr& v);
MatPtr MatMulReference(const Matice& A, const Matice& B);
MatPtr PseudoInverseTolReference(const Matice& A, bool& flag, long double tol);

}  // namespace pelvanor::test
