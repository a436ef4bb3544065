#include "matrix/dense_kernels.h"

#include <cstddef>

#include "matrix/parallel.h"

namespace pelvanor {

namespace {

// Rows [i0, i1) of the result.  Two rows of X against two rows of Y at a
// time: four running sums and four operands fill the eight x87 registers.
void DotRows(const long double* X, int i0, int i1, const long double* Y, int yRows, int K,
             long double* out, int outStride) {
    const std::size_t k = static_cast<std::size_t>(K);
    int i = i0;
    for (; i + 1 < i1; i += 2) {
        const long double* x0 = X + static_cast<std::size_t>(i) * k;
        const long double* x1 = x0 + k;
        long double* o0 = out + static_cast<std::size_t>(i) * static_cast<std::size_t>(outStride);
        long double* o1 = o0 + outStride;
        int j = 0;
        for (; j + 1 < yRows; j += 2) {
            const long double* y0 = Y + static_cast<std::size_t>(j) * k;
            const long double* y1 = y0 + k;
            long double s00 = 0.0L, s01 = 0.0L, s10 = 0.0L, s11 = 0.0L;
            for (std::size_t t = 0; t < k; ++t) {
                const long double a0 = x0[t];
                const long double a1 = x1[t];
                const long double b0 = y0[t];
                const long double b1 = y1[t];
                s00 = a0 * b0 + s00;
                s01 = a0 * b1 + s01;
                s10 = a1 * b0 + s10;
                s11 = a1 * b1 + s11;
            }
            o0[j] = s00;
            o0[j + 1] = s01;
            o1[j] = s10;
            o1[j + 1] = s11;
        }
        for (; j < yRows; ++j) {
            const long double* y0 = Y + static_cast<std::size_t>(j) * k;
            long double s0 = 0.0L, s1 = 0.0L;
            for (std::size_t t = 0; t < k; ++t) {
                s0 = x0[t] * y0[t] + s0;
                s1 = x1[t] * y0[t] + s1;
            }
            o0[j] = s0;
            o1[j] = s1;
        }
    }
    for (; i < i1; ++i) {
        const long double* x0 = X + static_cast<std::size_t>(i) * k;
        long double* o0 = out + static_cast<std::size_t>(i) * static_cast<std::size_t>(outStride);
        for (int j = 0; j < yRows; ++j) {
            const long double* y0 = Y + static_cast<std::size_t>(j) * k;
            long double s0 = 0.0L;
            for (std::size_t t = 0; t < k; ++t) s0 = x0[t] * y0[t] + s0;
            o0[j] = s0;
        }
    }
}

}  // namespace

void DotProducts(const long double* X, int xRows, const long double* Y, int yRows, int K,
                 long double* out, int outStride) {
    if (xRows <= 0 || yRows <= 0) return;
    const double work = static_cast<double>(xRows) * yRows * (K > 0 ? K : 1);
    ParallelFor(
        0, xRows, work,
        [&](int lo, int hi) { DotRows(X, lo, hi, Y, yRows, K, out, outStride); }, 2);
}

}  // namespace pelvanor
