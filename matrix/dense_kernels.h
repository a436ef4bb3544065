#pragma once
// Inner kernels shared by the matrix product and the pseudo-inverse.

namespace pelvanor {

// out[i * outStride + j] = sum over k = 0..K-1 of X[i][k] * Y[j][k] for
// i < xRows, j < yRows, where X and Y are row-major with K columns.  Every
// sum starts at +0 and adds its terms as sum = x * y + sum in increasing k,
// exactly as the plain triple loop does; only the order in which the
// elements are produced (and which thread produces them) differs.
void DotProducts(const long double* X, int xRows, const long double* Y, int yRows, int K,
                 long double* out, int outStride);

}  // namespace pelvanor
