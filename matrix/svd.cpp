#include "matrix/svd.h"

#include <cmath>
#include <vector>

#include "matrix/arithmetic.h"

namespace pelvanor {

long double TransferSign(double a, double b) {
    return b >= 0.0 ? std::fabs(a) : -std::fabs(a);
}

long double MaxOf(double a, double b) { return a > b ? a : b; }

long double Pythag(long double a, long double b) {
    const long double p = std::fabs(a);
    const long double q = std::fabs(b);
    if (p > q) {
        const long double t = q / p;
        return p * std::sqrt(1.0L + t * t);
    }
    if (q == 0.0L) return 0.0L;
    const long double t = p / q;
    return q * std::sqrt(1.0L + t * t);
}

// Golub-Reinsch singular value decomposition (Golub and Reinsch, Numer. Math.
// 14 (1970) 403-420), in the formulation of Forsythe, Malcolm and Moler,
// "Computer Methods for Mathematical Computations", 1977.
void Svdcmp(Matice& a, MatPtr& w, MatPtr& v) {
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

MatPtr ReciprocalDiagonal(const Matice& w, bool& flag, long double tol) {
    const int n = w.r;
    MatPtr D = NewMatrix(w.r, w.r);
    int zeroed = 0;
    for (int i = 1; i <= n; ++i) {
        const long double wi = w.GetPrvek(i, 1);
        if (wi <= tol)
            ++zeroed;
        else
            D->SetPrvek(i, i, 1.0L / wi);
    }
    flag = zeroed != n;
    return D;
}

MatPtr ReciprocalDiagonalAuto(const Matice& w, std::int32_t m, std::int32_t n, bool& flag) {
    // With no singular value at all there is nothing to invert (flag false).
    long double wmax = w.r > 0 ? std::fabs(w.GetPrvek(1, 1)) : 0.0L;
    for (int i = 2; i <= w.r; ++i)
        if (std::fabs(w.GetPrvek(i, 1)) > wmax) wmax = std::fabs(w.GetPrvek(i, 1));
    const std::int64_t count = static_cast<std::int64_t>(m) + n + 1;
    const long double tol =
        (std::sqrt(static_cast<long double>(count)) * 0.5L) * wmax * 1e-16L;
    return ReciprocalDiagonal(w, flag, tol);
}

namespace {

template <class Reciprocals>
MatPtr PseudoInverseWith(const Matice& A, bool& flag, Reciprocals reciprocals) {
    MatPtr a = MatCopy(A);
    MatPtr w, v;
    Svdcmp(*a, w, v);
    MatPtr D = reciprocals(*w);
    if (!flag) return nullptr;
    MatPtr T = MatMul(*v, *D);
    MatPtr Ut = MatTranspose(*a);
    return MatMul(*T, *Ut);
}

}  // namespace

MatPtr PseudoInverse(const Matice& A, bool& flag) {
    const std::int32_t m = A.r;
    const std::int32_t n = A.s;
    return PseudoInverseWith(A, flag, [&](const Matice& w) { return ReciprocalDiagonalAuto(w, m, n, flag); });
}

MatPtr PseudoInverseTol(const Matice& A, bool& flag, long double tol) {
    return PseudoInverseWith(A, flag, [&](const Matice& w) { return ReciprocalDiagonal(w, flag, tol); });
}

}  // namespace pelvanor
