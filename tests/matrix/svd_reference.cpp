// Plain transcription of the singular value decomposition and the
// pseudo-inverse, kept as the reference that the optimised production code
// must reproduce bit for bit.  Every loop is written exactly as the method
// reads, with element access by index and no reordering.

#include "tests/matrix/svd_reference.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "matrix/svd.h"

namespace pelvanor::test {

// Golub-Reinsch singular value decomposition (Golub and Reinsch, Numer. Math.
// 14 (1970) 403-420), in the formulation of Forsythe, Malcolm and Moler,
// "Computer Methods for Mathematical Computations", 1977.
void SvdcmpReference(Matice& a, MatPtr& w, MatPtr& v) {
    const int m = a.r;
    const int n = a.s;
    w = NewMatrix(a.s, 1);
    v = NewMatrix(a.s, a.s);
    std::vector<long double> rv1v(static_cast<std::size_t>(n) + 1, 0.0L);
    long double* rv1 = rv1v.data();  // 1-based
    long double* W = w->prvky.data() - 1;
    auto A = [&a, n](int i, int j) -> long double& {
        return a.prvky[static_cast<std::size_t>(i - 1) * n + static_cast<std::size_t>(j - 1)];
    };
    auto V = [&v, n](int i, int j) -> long double& {
        return v->prvky[static_cast<std::size_t>(i - 1) * n + static_cast<std::size_t>(j - 1)];
    };
    auto negligible = [](long double x, long double anorm) { return std::fabs(x) + anorm == anorm; };

    // Phase 1: Householder reduction to bidiagonal form.
    long double g = 0.0L, scale = 0.0L, anorm = 0.0L, s = 0.0L, f = 0.0L, h = 0.0L;
    int l = 0;
    for (int i = 1; i <= n; ++i) {
        l = i + 1;
        rv1[i] = scale * g;
        g = s = scale = 0.0L;
        if (i <= m) {
            for (int k = i; k <= m; ++k) scale = scale + std::fabs(A(k, i));
            if (scale != 0.0L) {
                for (int k = i; k <= m; ++k) {
                    A(k, i) = A(k, i) / scale;
                    s = s + A(k, i) * A(k, i);
                }
                f = A(i, i);
                g = -TransferSign(static_cast<double>(std::sqrt(s)), static_cast<double>(f));
                h = f * g - s;
                A(i, i) = f - g;
                for (int j = l; j <= n; ++j) {
                    s = 0.0L;
                    for (int k = i; k <= m; ++k) s = s + A(k, i) * A(k, j);
                    f = s / h;
                    for (int k = i; k <= m; ++k) A(k, j) = A(k, j) + f * A(k, i);
                }
                for (int k = i; k <= m; ++k) A(k, i) = scale * A(k, i);
            }
        }
        W[i] = scale * g;
        g = s = scale = 0.0L;
        if (i <= m && i != n) {
            for (int k = l; k <= n; ++k) scale = scale + std::fabs(A(i, k));
            if (scale != 0.0L) {
                for (int k = l; k <= n; ++k) {
                    A(i, k) = A(i, k) / scale;
                    s = s + A(i, k) * A(i, k);
                }
                f = A(i, l);
                g = -TransferSign(static_cast<double>(std::sqrt(s)), static_cast<double>(f));
                h = f * g - s;
                A(i, l) = f - g;
                for (int k = l; k <= n; ++k) rv1[k] = A(i, k) / h;
                for (int j = l; j <= m; ++j) {
                    s = 0.0L;
                    for (int k = l; k <= n; ++k) s = s + A(j, k) * A(i, k);
                    for (int k = l; k <= n; ++k) A(j, k) = A(j, k) + s * rv1[k];
                }
                for (int k = l; k <= n; ++k) A(i, k) = scale * A(i, k);
            }
        }
        anorm = MaxOf(static_cast<double>(std::fabs(W[i]) + std::fabs(rv1[i])),
                      static_cast<double>(anorm));
    }

    // Phase 2: accumulation of the right-hand transformations.
    for (int i = n; i >= 1; --i) {
        if (i < n) {
            if (g != 0.0L) {
                for (int j = l; j <= n; ++j) V(j, i) = (A(i, j) / A(i, l)) / g;
                for (int j = l; j <= n; ++j) {
                    s = 0.0L;
                    for (int k = l; k <= n; ++k) s = s + A(i, k) * V(k, j);
                    for (int k = l; k <= n; ++k) V(k, j) = V(k, j) + s * V(k, i);
                }
            }
            for (int j = l; j <= n; ++j) {
                V(i, j) = 0.0L;
                V(j, i) = 0.0L;
            }
        }
        V(i, i) = 1.0L;
        g = rv1[i];
        l = i;
    }

    // Phase 3: accumulation of the left-hand transformations.
    for (int i = std::min(m, n); i >= 1; --i) {
        l = i + 1;
        g = W[i];
        for (int j = l; j <= n; ++j) A(i, j) = 0.0L;
        if (g != 0.0L) {
            g = 1.0L / g;
            for (int j = l; j <= n; ++j) {
                s = 0.0L;
                for (int k = l; k <= m; ++k) s = s + A(k, i) * A(k, j);
                f = (s / A(i, i)) * g;
                for (int k = i; k <= m; ++k) A(k, j) = A(k, j) + f * A(k, i);
            }
            for (int j = i; j <= m; ++j) A(j, i) = A(j, i) * g;
        } else {
            for (int j = i; j <= m; ++j) A(j, i) = 0.0L;
        }
        A(i, i) = A(i, i) + 1.0L;
    }

    // Phase 4: diagonalisation of the bidiagonal form by implicitly shifted QR.
    for (int k = n; k >= 1; --k) {
        for (int its = 1; its <= 30; ++its) {
            int nm = 0;
            bool cancel = false;
            // rv1[1] is always 0, so the scan ends at l = 1; the explicit stop
            // keeps a NaN norm from running it past the first element.
            for (l = k; l >= 1; --l) {
                nm = l - 1;
                if (l == 1 || negligible(rv1[l], anorm)) break;
                if (nm >= 1 && negligible(W[nm], anorm)) {
                    cancel = true;
                    break;
                }
            }
            if (cancel) {
                long double c = 0.0L;
                s = 1.0L;
                for (int i = l; i <= k; ++i) {
                    f = s * rv1[i];
                    rv1[i] = c * rv1[i];
                    if (negligible(f, anorm)) break;
                    g = W[i];
                    h = Pythag(f, g);
                    W[i] = h;
                    h = 1.0L / h;
                    c = g * h;
                    s = -(f * h);
                    for (int j = 1; j <= m; ++j) {
                        const long double y = A(j, nm);
                        const long double z = A(j, i);
                        A(j, nm) = y * c + z * s;
                        A(j, i) = z * c - y * s;
                    }
                }
            }
            long double z = W[k];
            if (l == k) {
                if (z < 0.0L) {
                    W[k] = -z;
                    for (int j = 1; j <= n; ++j) V(j, k) = -V(j, k);
                }
                break;
            }
            if (its == 30) throw SvdError("no convergence in 30 SVDCMP iterations");
            long double x = W[l];
            nm = k - 1;
            long double y = W[nm];
            g = rv1[nm];
            h = rv1[k];
            f = ((y - z) * (y + z) + (g - h) * (g + h)) / (2.0L * h * y);
            g = Pythag(f, 1.0L);
            f = ((x - z) * (x + z) +
                 h * (y / (f + TransferSign(static_cast<double>(g), static_cast<double>(f))) - h)) /
                x;
            long double c = 1.0L;
            s = 1.0L;
            for (int j = l; j <= nm; ++j) {
                const int i = j + 1;
                g = rv1[i];
                y = W[i];
                h = s * g;
                g = c * g;
                z = Pythag(f, h);
                rv1[j] = z;
                c = f / z;
                s = h / z;
                f = x * c + g * s;
                g = g * c - x * s;
                h = y * s;
                y = y * c;
                for (int jj = 1; jj <= n; ++jj) {
                    x = V(jj, j);
                    z = V(jj, i);
                    V(jj, j) = x * c + z * s;
                    V(jj, i) = z * c - x * s;
                }
                z = Pythag(f, h);
                W[j] = z;
                if (z != 0.0L) {
                    z = 1.0L / z;
                    c = f * z;
                    s = h * z;
                }
                f = c * g + s * y;
                x = c * y - s * g;
                for (int jj = 1; jj <= m; ++jj) {
                    y = A(jj, j);
                    z = A(jj, i);
                    A(jj, j) = y * c + z * s;
                    A(jj, i) = z * c - y * s;
                }
            }
            rv1[l] = 0.0L;
            rv1[k] = f;
            W[k] = x;
        }
    }
}

MatPtr MatMulReference(const Matice& A, const Matice& B) {
    if (A.s != B.r) return nullptr;
    MatPtr R = NewMatrix(A.r, B.s);
    for (int i = 1; i <= A.r; ++i)
        for (int j = 1; j <= B.s; ++j) {
            long double sum = 0.0L;
            for (int k = 1; k <= A.s; ++k) sum = A.GetPrvek(i, k) * B.GetPrvek(k, j) + sum;
            R->SetPrvek(i, j, sum);
        }
    return R;
}

MatPtr PseudoInverseTolReference(const Matice& A, bool& flag, long double tol) {
    MatPtr a = std::make_unique<Matice>(A);
    MatPtr w, v;
    SvdcmpReference(*a, w, v);
    MatPtr D = ReciprocalDiagonal(*w, flag, tol);
    if (!flag) return nullptr;
    MatPtr T = MatMulReference(*v, *D);
    MatPtr Ut = NewMatrix(a->s, a->r);
    for (int i = 1; i <= a->r; ++i)
        for (int j = 1; j <= a->s; ++j) Ut->SetPrvek(j, i, a->GetPrvek(i, j));
    return MatMulReference(*T, *Ut);
}

}  // namespace pelvanor::test
