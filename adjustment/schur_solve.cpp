#include "adjustment/schur_solve.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>

#include "matrix/fp_guard.h"

namespace pelvanor {

namespace {

std::atomic<BundleTimings*> g_defaultTimings{nullptr};

// Cholesky factor of a symmetric 3 x 3 block in place (lower triangle,
// row-major), with the pivot test of the certificate.
bool FactorPoint(long double* P) {
    const long double diag[3] = {P[0], P[4], P[8]};
    for (int j = 0; j < 3; ++j) {
        long double pivot = P[3 * j + j];
        for (int k = 0; k < j; ++k) pivot = pivot - P[3 * j + k] * P[3 * j + k];
        if (!(diag[j] > 0.0L) || !(pivot > kSparsePivotRatio * diag[j])) return false;
        const long double root = std::sqrt(pivot);
        P[3 * j + j] = root;
        for (int i = j + 1; i < 3; ++i) {
            long double s = P[3 * i + j];
            for (int k = 0; k < j; ++k) s = s - P[3 * i + k] * P[3 * j + k];
            P[3 * i + j] = s / root;
        }
    }
    return true;
}

// x := P^-1 x for the factor L of P (L L^T x = b), x of length 3 with stride.
void SolvePoint(const long double* L, long double* x, std::int32_t stride) {
    long double y[3];
    for (int i = 0; i < 3; ++i) {
        long double s = x[i * stride];
        for (int k = 0; k < i; ++k) s = s - L[3 * i + k] * y[k];
        y[i] = s / L[3 * i + i];
    }
    for (int i = 2; i >= 0; --i) {
        long double s = y[i];
        for (int k = i + 1; k < 3; ++k) s = s - L[3 * k + i] * x[k * stride];
        x[i * stride] = s / L[3 * i + i];
    }
}

bool SparseBody(const BundleRows& rows, const std::vector<long double>* weights, bool halve,
                SparseWorkspace& ws, std::vector<long double>& d, std::vector<long double>& v,
                long double& vtv) {
    const std::int32_t n = rows.n;
    const std::int32_t u = rows.u;
    const std::int32_t w = rows.imageWidth;
    const std::int32_t width = rows.Width();
    if (n < 1 || u < 1 || w < 1 || rows.fixed < 0 || rows.fixed % 3 != 0) return false;
    if (rows.pointColumn.size() != static_cast<std::size_t>(n) ||
        rows.imageColumn.size() != static_cast<std::size_t>(n) ||
        rows.a.size() != static_cast<std::size_t>(n) * width ||
        rows.l.size() != static_cast<std::size_t>(n) ||
        (weights != nullptr && weights->size() != static_cast<std::size_t>(n))) {
        return false;
    }

    // Structure: 3 unknowns per point in [0, first), w per image in [first, u).
    const std::int32_t first = *std::min_element(rows.imageColumn.begin(), rows.imageColumn.end());
    if (first < rows.fixed || first % 3 != 0 || (u - first) % w != 0) return false;
    const std::int32_t points = first / 3;
    const std::int32_t images = (u - first) / w;
    const std::int32_t fixedPoints = rows.fixed / 3;
    for (std::int32_t h = 0; h < n; ++h) {
        const std::int32_t pc = rows.pointColumn[h];
        const std::int32_t ic = rows.imageColumn[h];
        if (pc < 0 || pc % 3 != 0 || pc + 3 > first || (ic - first) % w != 0 || ic + w > u) {
            return false;
        }
    }

    // Rows grouped by point, in increasing row order within each point.
    ws.start.assign(static_cast<std::size_t>(points) + 1, 0);
    for (std::int32_t h = 0; h < n; ++h) ++ws.start[rows.pointColumn[h] / 3 + 1];
    for (std::int32_t k = 0; k < points; ++k) ws.start[k + 1] += ws.start[k];
    ws.order.assign(static_cast<std::size_t>(n), 0);
    {
        std::vector<std::int32_t> next(ws.start.begin(), ws.start.end() - 1);
        for (std::int32_t h = 0; h < n; ++h) ws.order[next[rows.pointColumn[h] / 3]++] = h;
    }

    // V and g_i from every row, those of the fixed points included.
    const std::int32_t R = w * images;
    const std::size_t RR = static_cast<std::size_t>(R);
    ws.reduced.assign(RR * RR, 0.0L);
    ws.rhs.assign(RR, 0.0L);
    long double aw[16];
    for (std::int32_t h = 0; h < n; ++h) {
        const long double* a = rows.a.data() + static_cast<std::size_t>(h) * width;
        const long double wt = weights != nullptr ? (*weights)[static_cast<std::size_t>(h)] : 1.0L;
        const std::int32_t ic = rows.imageColumn[h] - first;
        const long double lh = rows.l[static_cast<std::size_t>(h)];
        for (std::int32_t q = 3; q < width; ++q) aw[q] = a[q] * wt;
        for (std::int32_t qi = 3; qi < width; ++qi) {
            long double* Srow = ws.reduced.data() + static_cast<std::size_t>(ic + qi - 3) * RR + ic - 3;
            for (std::int32_t qj = 3; qj < width; ++qj) Srow[qj] = aw[qi] * a[qj] + Srow[qj];
            ws.rhs[static_cast<std::size_t>(ic + qi - 3)] = aw[qi] * lh + ws.rhs[static_cast<std::size_t>(ic + qi - 3)];
        }
    }
    ws.diagonal.resize(RR);
    for (std::size_t k = 0; k < RR; ++k) ws.diagonal[k] = ws.reduced[k * RR + k];

    // The point priors in increasing column, none on a fixed point.
    for (std::size_t k = 0; k < rows.priors.size(); ++k) {
        const std::int32_t c = rows.priors[k].column;
        if (c < rows.fixed || c % 3 != 0 || c + 3 > first ||
            (k > 0 && c <= rows.priors[k - 1].column)) {
            return false;
        }
    }
    std::size_t nextPrior = 0;

    // Every free point: its block P, g_p and one W block per image it is
    // seen on, and its prior; factorise P and subtract W^T P^-1 W and
    // W^T P^-1 g_p.
    const std::size_t blockSize = 3 * static_cast<std::size_t>(w);
    ws.blockStart.assign(static_cast<std::size_t>(points) + 1, 0);
    ws.blockImage.clear();
    ws.blocks.clear();
    ws.factor.assign(static_cast<std::size_t>(points) * 12, 0.0L);
    for (std::int32_t pt = fixedPoints; pt < points; ++pt) {
        ws.blockStart[pt] = static_cast<std::int32_t>(ws.blockImage.size());
        const std::int32_t b0 = ws.blockStart[pt];
        long double* P = ws.factor.data() + static_cast<std::size_t>(pt) * 12;
        long double* gp = P + 9;
        if (ws.start[pt] == ws.start[pt + 1]) return false;  // unobserved: singular
        for (std::int32_t e = ws.start[pt]; e < ws.start[pt + 1]; ++e) {
            const std::int32_t h = ws.order[e];
            const long double* a = rows.a.data() + static_cast<std::size_t>(h) * width;
            const long double wt = weights != nullptr ? (*weights)[static_cast<std::size_t>(h)] : 1.0L;
            const std::int32_t image = (rows.imageColumn[h] - first) / w;
            std::int32_t blk = b0;
            while (blk < static_cast<std::int32_t>(ws.blockImage.size()) && ws.blockImage[blk] != image) ++blk;
            if (blk == static_cast<std::int32_t>(ws.blockImage.size())) {
                ws.blockImage.push_back(image);
                ws.blocks.resize(ws.blocks.size() + 2 * blockSize, 0.0L);
            }
            long double* W = ws.blocks.data() + static_cast<std::size_t>(blk) * 2 * blockSize;
            const long double lh = rows.l[static_cast<std::size_t>(h)];
            for (int qi = 0; qi < 3; ++qi) {
                const long double awi = a[qi] * wt;
                for (int qj = 0; qj < 3; ++qj) P[3 * qi + qj] = awi * a[qj] + P[3 * qi + qj];
                for (std::int32_t qj = 0; qj < w; ++qj) W[qi * w + qj] = awi * a[3 + qj] + W[qi * w + qj];
                gp[qi] = awi * lh + gp[qi];
            }
        }
        if (nextPrior < rows.priors.size() && rows.priors[nextPrior].column == 3 * pt) {
            const BundleRows::PointPrior& prior = rows.priors[nextPrior++];
            for (int q = 0; q < 3; ++q) {
                if (prior.weight[q] == 0.0L) continue;
                P[4 * q] = prior.weight[q] + P[4 * q];
                gp[q] = prior.weight[q] * prior.l[q] + gp[q];
            }
        }
        if (!FactorPoint(P)) return false;
        const std::int32_t b1 = static_cast<std::int32_t>(ws.blockImage.size());
        // Y = P^-1 W beside every W, and y = P^-1 g_p.
        for (std::int32_t blk = b0; blk < b1; ++blk) {
            long double* W = ws.blocks.data() + static_cast<std::size_t>(blk) * 2 * blockSize;
            long double* Y = W + blockSize;
            std::copy(W, W + blockSize, Y);
            for (std::int32_t c = 0; c < w; ++c) SolvePoint(P, Y + c, w);
        }
        long double y[3] = {gp[0], gp[1], gp[2]};
        SolvePoint(P, y, 1);
        // Only the lower triangle of the reduced system is formed: the
        // factorisation reads no other element.
        for (std::int32_t bk = b0; bk < b1; ++bk) {
            const long double* Wk = ws.blocks.data() + static_cast<std::size_t>(bk) * 2 * blockSize;
            const std::size_t rk = static_cast<std::size_t>(ws.blockImage[bk]) * w;
            for (std::int32_t bl = b0; bl < b1; ++bl) {
                if (ws.blockImage[bl] > ws.blockImage[bk]) continue;
                const long double* Yl = ws.blocks.data() + static_cast<std::size_t>(bl) * 2 * blockSize + blockSize;
                const std::size_t cl = static_cast<std::size_t>(ws.blockImage[bl]) * w;
                for (std::int32_t i = 0; i < w; ++i) {
                    long double* Srow = ws.reduced.data() + (rk + i) * RR + cl;
                    for (std::int32_t j = 0; j < w; ++j) {
                        const long double s = Wk[i] * Yl[j] + Wk[w + i] * Yl[w + j] + Wk[2 * w + i] * Yl[2 * w + j];
                        Srow[j] = Srow[j] - s;
                    }
                }
            }
            for (std::int32_t i = 0; i < w; ++i) {
                ws.rhs[rk + i] = ws.rhs[rk + i] - (Wk[i] * y[0] + Wk[w + i] * y[1] + Wk[2 * w + i] * y[2]);
            }
        }
    }
    ws.blockStart[points] = static_cast<std::int32_t>(ws.blockImage.size());

    // Cholesky of the reduced system in place (lower triangle), each pivot
    // tested against the image unknown's own diagonal before the elimination.
    long double* S = ws.reduced.data();
    for (std::size_t j = 0; j < RR; ++j) {
        long double* Lj = S + j * RR;
        long double pivot = Lj[j];
        for (std::size_t k = 0; k < j; ++k) pivot = pivot - Lj[k] * Lj[k];
        if (!(ws.diagonal[j] > 0.0L) || !(pivot > kSparsePivotRatio * ws.diagonal[j])) return false;
        const long double root = std::sqrt(pivot);
        Lj[j] = root;
        for (std::size_t i = j + 1; i < RR; ++i) {
            long double* Li = S + i * RR;
            long double s = Li[j];
            for (std::size_t k = 0; k < j; ++k) s = s - Li[k] * Lj[k];
            Li[j] = s / root;
        }
    }
    // d_i = -(L L^T)^-1 rhs.
    d.assign(static_cast<std::size_t>(u), 0.0L);
    long double* di = d.data() + first;
    for (std::size_t i = 0; i < RR; ++i) {
        long double s = -ws.rhs[i];
        const long double* Li = S + i * RR;
        for (std::size_t k = 0; k < i; ++k) s = s - Li[k] * di[k];
        di[i] = s / Li[i];
    }
    for (std::size_t i = RR; i-- > 0;) {
        long double s = di[i];
        for (std::size_t k = i + 1; k < RR; ++k) s = s - S[k * RR + i] * di[k];
        di[i] = s / S[i * RR + i];
    }
    // Points: d_p = -P^-1 (g_p + W d_i).
    for (std::int32_t pt = fixedPoints; pt < points; ++pt) {
        const long double* P = ws.factor.data() + static_cast<std::size_t>(pt) * 12;
        long double t[3] = {P[9], P[10], P[11]};
        for (std::int32_t blk = ws.blockStart[pt]; blk < ws.blockStart[pt + 1]; ++blk) {
            const long double* W = ws.blocks.data() + static_cast<std::size_t>(blk) * 2 * blockSize;
            const long double* dk = di + static_cast<std::size_t>(ws.blockImage[blk]) * w;
            for (int q = 0; q < 3; ++q) {
                long double s = 0.0L;
                for (std::int32_t j = 0; j < w; ++j) s = W[q * w + j] * dk[j] + s;
                t[q] = t[q] + s;
            }
        }
        SolvePoint(P, t, 1);
        for (int q = 0; q < 3; ++q) d[static_cast<std::size_t>(3 * pt + q)] = -t[q];
    }
    if (halve) {
        for (auto& x : d) x = x * 0.5L;
    }

    // v = A d + l, vtv = v^T v, exactly as the dense pass forms them.
    vtv = PassResiduals(rows, d, v);
    FpBarrier(vtv);
    return true;
}

}  // namespace

NormalSolve ResolveNormalSolve(NormalSolve selected, std::int64_t order) {
    if (selected == NormalSolve::Auto) {
        return order <= kAutoSvdMaxOrder ? NormalSolve::Svd : NormalSolve::Sparse;
    }
    return selected;
}

BundleTimings* DefaultBundleTimings() { return g_defaultTimings.load(); }
void SetDefaultBundleTimings(BundleTimings* timings) { g_defaultTimings = timings; }

bool SolveBundlePassSparse(const BundleRows& rows, const std::vector<long double>* weights,
                           bool halve, SparseWorkspace& workspace, std::vector<long double>& d,
                           std::vector<long double>& v, long double& vtv) {
    if (rows.imageWidth > 13) return false;
    // A fault here only withdraws the certificate: the caller's flags are
    // restored, and the pseudo-inverse takes over.
    FpScope scope;
    bool ok = false;
    try {
        ok = SparseBody(rows, weights, halve, workspace, d, v, vtv);
    } catch (...) {
        ok = false;
    }
    return ok && !scope.Faulted();
}

bool SolveBundlePassWith(NormalSolve solve, const BundleRows& rows,
                         const std::vector<long double>* weights, bool halve,
                         BundleWorkspace& dense, SparseWorkspace& sparse, long double memoryLimit,
                         std::vector<long double>& d, std::vector<long double>& v,
                         long double& vtv, bool& eliminated) {
    BundleTimings* timings = dense.timings;
    eliminated = false;
    const std::int64_t order = static_cast<std::int64_t>(rows.u) + rows.fixed;
    if (ResolveNormalSolve(solve, order) == NormalSolve::Sparse) {
        const auto start = std::chrono::steady_clock::now();
        const bool certified = SolveBundlePassSparse(rows, weights, halve, sparse, d, v, vtv);
        if (timings != nullptr) {
            timings->sparseSeconds +=
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        }
        if (certified) {
            eliminated = true;
            if (timings != nullptr) {
                ++timings->sparsePasses;
                timings->lastPassSparse = true;
            }
            return true;
        }
        if (timings != nullptr) ++timings->fallbackPasses;
        const long double limit = memoryLimit > 0.0L ? memoryLimit : AvailableMemory();
        if (BundleMemoryEstimate(rows.n, rows.u, rows.fixed, rows.imageWidth) > limit) {
            return false;
        }
    }
    if (timings != nullptr) {
        ++timings->svdPasses;
        timings->lastPassSparse = false;
    }
    return SolveBundlePass(rows, weights, halve, dense, d, v, vtv);
}

long double SparseMemoryEstimate(std::int64_t n, std::int64_t u, std::int64_t images,
                                 std::int32_t imageWidth) {
    const long double element = sizeof(long double);
    const long double w = static_cast<long double>(imageWidth);
    const long double rn = static_cast<long double>(n);
    // Compact rows, weights, residuals (as the dense pass) and the row order.
    const long double rows = rn * ((4.0L + w) * element + 16.0L) + rn * 3.0L * element + rn * 8.0L;
    // At most one W and one P^-1 W block per measurement (two rows).
    const long double blocks = rn / 2.0L * (6.0L * w * element + 4.0L);
    const long double r = w * static_cast<long double>(images);
    const long double reduced = r * r * element + 3.0L * r * element;
    const long double vectors = 20.0L * static_cast<long double>(u) * element;
    return rows + blocks + reduced + vectors;
}

}  // namespace pelvanor
