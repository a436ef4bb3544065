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

// The cofactor block of the k global unknowns, the last k of the reduced
// system, from its Cholesky factor L (lower triangle, stride RR): under the
// datum constraints the cofactor matrix is the inverse of the normal matrix
// of the free unknowns, and its global block is the inverse of the Schur
// complement onto them, which is L_gg L_gg^T with L_gg the trailing k x k
// block of L.  So Q_gg = L_gg^-T L_gg^-1.
void GlobalCofactor(const long double* S, std::size_t RR, std::size_t R, std::size_t k,
                    std::vector<long double>& Q) {
    // M = L_gg^-1, lower triangular, by forward substitution column by column.
    std::vector<long double> M(k * k, 0.0L);
    for (std::size_t c = 0; c < k; ++c) {
        for (std::size_t i = c; i < k; ++i) {
            long double s = i == c ? 1.0L : 0.0L;
            const long double* Li = S + (R + i) * RR + R;
            for (std::size_t j = c; j < i; ++j) s = s - Li[j] * M[j * k + c];
            M[i * k + c] = s / Li[i];
        }
    }
    Q.assign(k * k, 0.0L);
    for (std::size_t i = 0; i < k; ++i) {
        for (std::size_t j = 0; j < k; ++j) {
            long double s = 0.0L;
            for (std::size_t q = std::max(i, j); q < k; ++q) s = M[q * k + i] * M[q * k + j] + s;
            Q[i * k + j] = s;
        }
    }
}

bool SparseBody(const BundleRows& rows, const std::vector<long double>* weights, bool halve,
                SparseWorkspace& ws, std::vector<long double>& d, std::vector<long double>& v,
                long double& vtv) {
    const std::int32_t n = rows.n;
    const std::int32_t u = rows.u;
    const std::int32_t w = rows.imageWidth;
    const std::int32_t width = rows.Width();
    // Global unknowns (kg of them) take the last columns, u - kg .. u - 1.
    const std::int32_t kg = rows.globalWidth;
    const std::int32_t imageEnd = u - kg;
    const std::int32_t g0 = 3 + w;  // first global coefficient of a row
    if (n < 1 || u < 1 || w < 1 || kg < 0 || imageEnd < 1 || rows.fixed < 0 || rows.fixed % 3 != 0) return false;
    if (rows.pointColumn.size() != static_cast<std::size_t>(n) ||
        rows.imageColumn.size() != static_cast<std::size_t>(n) ||
        rows.a.size() != static_cast<std::size_t>(n) * width ||
        rows.l.size() != static_cast<std::size_t>(n) ||
        (weights != nullptr && weights->size() != static_cast<std::size_t>(n))) {
        return false;
    }

    // Structure: 3 unknowns per point in [0, first), w per image in
    // [first, u - kg), the global ones in [u - kg, u).
    const std::int32_t first = *std::min_element(rows.imageColumn.begin(), rows.imageColumn.end());
    if (first < rows.fixed || first % 3 != 0 || (imageEnd - first) % w != 0) return false;
    const std::int32_t points = first / 3;
    const std::int32_t images = (imageEnd - first) / w;
    const std::int32_t fixedPoints = rows.fixed / 3;
    for (std::int32_t h = 0; h < n; ++h) {
        const std::int32_t pc = rows.pointColumn[h];
        const std::int32_t ic = rows.imageColumn[h];
        if (pc < 0 || pc % 3 != 0 || pc + 3 > first || (ic - first) % w != 0 || ic + w > imageEnd) {
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

    // V and g_i from every row, those of the fixed points included.  The
    // global unknowns follow the images (reduced rows R .. R + kg - 1); of
    // their rows only the part left of the diagonal is formed, which is all
    // the factorisation reads.
    const std::int32_t R = w * images;
    const std::size_t RR = static_cast<std::size_t>(R + kg);
    ws.reduced.assign(RR * RR, 0.0L);
    ws.rhs.assign(RR, 0.0L);
    long double aw[kMaxBundleRowWidth];
    for (std::int32_t h = 0; h < n; ++h) {
        const long double* a = rows.a.data() + static_cast<std::size_t>(h) * width;
        const long double wt = weights != nullptr ? (*weights)[static_cast<std::size_t>(h)] : 1.0L;
        const std::int32_t ic = rows.imageColumn[h] - first;
        const long double lh = rows.l[static_cast<std::size_t>(h)];
        for (std::int32_t q = 3; q < g0; ++q) aw[q] = a[q] * wt;
        for (std::int32_t qi = 3; qi < g0; ++qi) {
            long double* Srow = ws.reduced.data() + static_cast<std::size_t>(ic + qi - 3) * RR + ic - 3;
            for (std::int32_t qj = 3; qj < g0; ++qj) Srow[qj] = aw[qi] * a[qj] + Srow[qj];
            ws.rhs[static_cast<std::size_t>(ic + qi - 3)] = aw[qi] * lh + ws.rhs[static_cast<std::size_t>(ic + qi - 3)];
        }
        for (std::int32_t ci = 0; ci < kg; ++ci) {
            const long double awc = a[g0 + ci] * wt;
            long double* Srow = ws.reduced.data() + static_cast<std::size_t>(R + ci) * RR;
            for (std::int32_t qj = 3; qj < g0; ++qj) Srow[ic + qj - 3] = awc * a[qj] + Srow[ic + qj - 3];
            for (std::int32_t cj = 0; cj <= ci; ++cj) Srow[R + cj] = awc * a[g0 + cj] + Srow[R + cj];
            ws.rhs[static_cast<std::size_t>(R + ci)] = awc * lh + ws.rhs[static_cast<std::size_t>(R + ci)];
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
    const std::size_t globalSize = 3 * static_cast<std::size_t>(kg);
    ws.globalBlocks.assign(static_cast<std::size_t>(points) * 2 * globalSize, 0.0L);
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
            if (kg > 0) {
                long double* G = ws.globalBlocks.data() + static_cast<std::size_t>(pt) * 2 * globalSize;
                for (int qi = 0; qi < 3; ++qi) {
                    const long double awi = a[qi] * wt;
                    for (std::int32_t c = 0; c < kg; ++c) G[qi * kg + c] = awi * a[g0 + c] + G[qi * kg + c];
                }
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
        if (kg > 0) {
            // The global rows: G^T P^-1 W against every image of the point,
            // G^T P^-1 G and G^T P^-1 g_p.
            long double* G = ws.globalBlocks.data() + static_cast<std::size_t>(pt) * 2 * globalSize;
            long double* YG = G + globalSize;
            std::copy(G, G + globalSize, YG);
            for (std::int32_t c = 0; c < kg; ++c) SolvePoint(P, YG + c, kg);
            for (std::int32_t ci = 0; ci < kg; ++ci) {
                long double* Srow = ws.reduced.data() + static_cast<std::size_t>(R + ci) * RR;
                for (std::int32_t bl = b0; bl < b1; ++bl) {
                    const long double* Yl = ws.blocks.data() + static_cast<std::size_t>(bl) * 2 * blockSize + blockSize;
                    const std::size_t cl = static_cast<std::size_t>(ws.blockImage[bl]) * w;
                    for (std::int32_t j = 0; j < w; ++j) {
                        const long double s = G[ci] * Yl[j] + G[kg + ci] * Yl[w + j] + G[2 * kg + ci] * Yl[2 * w + j];
                        Srow[cl + j] = Srow[cl + j] - s;
                    }
                }
                for (std::int32_t cj = 0; cj <= ci; ++cj) {
                    const long double s = G[ci] * YG[cj] + G[kg + ci] * YG[kg + cj] + G[2 * kg + ci] * YG[2 * kg + cj];
                    Srow[R + cj] = Srow[R + cj] - s;
                }
                ws.rhs[static_cast<std::size_t>(R + ci)] =
                    ws.rhs[static_cast<std::size_t>(R + ci)] - (G[ci] * y[0] + G[kg + ci] * y[1] + G[2 * kg + ci] * y[2]);
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
    // Points: d_p = -P^-1 (g_p + W d_i + G d_c).
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
        if (kg > 0) {
            const long double* G = ws.globalBlocks.data() + static_cast<std::size_t>(pt) * 2 * globalSize;
            const long double* dc = di + R;
            for (int q = 0; q < 3; ++q) {
                long double s = 0.0L;
                for (std::int32_t c = 0; c < kg; ++c) s = G[q * kg + c] * dc[c] + s;
                t[q] = t[q] + s;
            }
        }
        SolvePoint(P, t, 1);
        for (int q = 0; q < 3; ++q) d[static_cast<std::size_t>(3 * pt + q)] = -t[q];
    }
    if (halve) {
        for (auto& x : d) x = x * 0.5L;
    }
    if (kg > 0) GlobalCofactor(S, RR, static_cast<std::size_t>(R), static_cast<std::size_t>(kg), ws.globalCofactor);

    // v = A d + l, vtv = v^T v, exactly as the dense pass forms them.
    vtv = PassResiduals(rows, d, v);
    FpBarrier(vtv);
    return true;
}

}  // namespace

NormalSolve ResolveNormalSolve(NormalSolve selected, std::int64_t /*order*/) {
    return selected == NormalSolve::Auto ? NormalSolve::Sparse : selected;
}

BundleTimings* DefaultBundleTimings() { return g_defaultTimings.load(); }
void SetDefaultBundleTimings(BundleTimings* timings) { g_defaultTimings = timings; }

bool SolveBundlePassSparse(const BundleRows& rows, const std::vector<long double>* weights,
                           bool halve, SparseWorkspace& workspace, std::vector<long double>& d,
                           std::vector<long double>& v, long double& vtv) {
    if (rows.imageWidth > 13 || rows.Width() > kMaxBundleRowWidth) return false;
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
        if (BundleMemoryEstimate(rows.n, rows.u, rows.fixed, rows.imageWidth + rows.globalWidth) > limit) {
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
