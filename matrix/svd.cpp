#include "matrix/svd.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "matrix/arithmetic.h"
#include "matrix/cancellation.h"
#include "matrix/dense_kernels.h"
#include "matrix/parallel.h"

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

namespace {

// The stages of a pseudo-inverse, for the share done of a progress display,
// and where each begins in its time: measured on the two-processor machine
// (split kernels) for full symmetric matrices of order 300, 400 and 500,
// whose stages took 36-39 %, 20-23 %, 32-37 % and 8-10 % of the time.
// Within the reduction to bidiagonal form step i works on the remaining
// block, so its share grows as 1 - ((n - i + 1) / n)^3; the QR sweeps take
// about the same time per singular value.
enum class SvdStage { Bidiagonal, Accumulation, Diagonal, Product };
constexpr double kSvdStageStart[] = {0.0, 0.36, 0.56, 0.91, 1.0};

void SvdProgress(SvdStage stage, double fraction) {
    const auto k = static_cast<std::size_t>(stage);
    ReportKernelProgress(kSvdStageStart[k] + fraction * (kSvdStageStart[k + 1] - kSvdStageStart[k]));
}


using Index = std::size_t;

// Rows of a row-major matrix, 0-based inside the kernels below.
inline long double* RowPtr(Matice& m, int i) { return m.prvky.data() + static_cast<Index>(i) * m.s; }

// acc[j] = sum over rows k = k0..k1-1 of wt[k] * M(k, j), for j in [j0, j1),
// each sum starting at 0 and taking its terms as sum + wt[k] * M(k, j) in
// increasing k: the column dot products of a Householder step, formed row by
// row so that the inner loop runs along contiguous storage.  Four rows per
// pass keep each partial sum in a register for four additions, in the same
// order.
void ColumnDots(Matice& M, const long double* wt, int k0, int k1, int j0, int j1, long double* acc) {
    for (int j = j0; j < j1; ++j) acc[j] = 0.0L;
    int k = k0;
    for (; k + 3 < k1; k += 4) {
        const long double* r0 = RowPtr(M, k);
        const long double* r1 = RowPtr(M, k + 1);
        const long double* r2 = RowPtr(M, k + 2);
        const long double* r3 = RowPtr(M, k + 3);
        const long double p0 = wt[k], p1 = wt[k + 1], p2 = wt[k + 2], p3 = wt[k + 3];
        for (int j = j0; j < j1; ++j) {
            long double t = acc[j];
            t = t + p0 * r0[j];
            t = t + p1 * r1[j];
            t = t + p2 * r2[j];
            t = t + p3 * r3[j];
            acc[j] = t;
        }
    }
    for (; k < k1; ++k) {
        const long double* r0 = RowPtr(M, k);
        const long double p0 = wt[k];
        for (int j = j0; j < j1; ++j) acc[j] = acc[j] + p0 * r0[j];
    }
}

// M(k, j) = M(k, j) + f[j] * M(k, p) for rows k0..k1-1 and j in [j0, j1).
void ColumnUpdate(Matice& M, int p, int k0, int k1, int j0, int j1, const long double* f) {
    for (int k = k0; k < k1; ++k) {
        long double* r = RowPtr(M, k);
        const long double q = r[p];
        for (int j = j0; j < j1; ++j) r[j] = r[j] + f[j] * q;
    }
}

// Column dots followed by the rank-one update of the same columns: acc
// receives the dots over rows dotFirst..k1-1 weighted by column p, then
// f = scale(acc), then rows updFirst..k1-1 are updated.  wt receives column
// p (the weights).  The dots are split by columns between the threads (each
// sum runs down its column in order); the update, once every f is known, by
// rows, so that no cache line is written by two threads (p lies outside
// [j0, j1), so the update never changes its own multipliers).
template <class Scale>
void HouseholderColumns(Matice& M, int p, int dotFirst, int updFirst, int k1, int j0, int j1,
                        long double* acc, long double* f, long double* wt, Scale scale) {
    for (int k = updFirst; k < k1; ++k) wt[k] = RowPtr(M, k)[p];
    const double work = 2.0 * static_cast<double>(k1 - updFirst) * (j1 - j0);
    ParallelFor(j0, j1, work / 2, [&](int lo, int hi) {
        ColumnDots(M, wt, dotFirst, k1, lo, hi, acc);
        for (int j = lo; j < hi; ++j) f[j] = scale(acc[j]);
    }, 8);
    ParallelFor(updFirst, k1, work / 2, [&](int lo, int hi) { ColumnUpdate(M, p, lo, hi, j0, j1, f); });
}

// The rotations of the QR sweeps depend only on the bidiagonal's scalars,
// never on U or V, so they are queued and applied later, row by row, in the
// order they were made: every element still sees the same operations in the
// same order.  A rotation of columns p and q maps
//   x_p' = x_p c + x_q s,  x_q' = x_q c - x_p s.
// A sweep rotates the pairs (p, p+1), (p+1, p+2), ... in turn: along one row
// the element carried from one rotation to the next stays in a register
// (a chain).  The cancellation rotates (p, q) for a run of q with the same p
// (a fan), again keeping x_p in a register.  Extended-precision loads and
// especially stores are slow, so this halves the memory traffic.
class RotationQueue {
public:
    explicit RotationQueue(Matice& m) : m_(m) {
        // Enough queued rotations to be worth a pass over the matrix, few
        // enough for the coefficients to stay in the processor's cache.
        limit_ = 256 + 16 * static_cast<std::size_t>(m.s);
        cs_.reserve(2 * limit_ + 2);
    }
    // Starts a chain at columns (p, p+1); Add() appends the next pair.
    void BeginChain(int p) { segments_.push_back({Kind::Chain, p, 0, cs_.size()}); }
    // Starts a fan on column p; AddFan(q) appends pair (p, q).
    void BeginFan(int p) { segments_.push_back({Kind::Fan, p, 0, cs_.size()}); }
    void Add(long double c, long double s) {
        cs_.push_back(c);
        cs_.push_back(s);
        ++segments_.back().count;
    }
    void AddFan(int q, long double c, long double s) {
        // Fan columns are consecutive in every use (q = l, l+1, ...), so only
        // the first is stored.
        if (segments_.back().count == 0) fanFirst_.push_back(q);
        Add(c, s);
    }
    void Negate(int p) { segments_.push_back({Kind::Negate, p, 0, cs_.size()}); }
    // Applies the queue when it is long enough; call between segments only.
    void MaybeFlush() {
        if (cs_.size() >= 2 * limit_) Flush();
    }
    void Flush() {
        if (segments_.empty()) return;
        const int rows = m_.r;
        const double work = 3.0 * static_cast<double>(rows) * static_cast<double>(cs_.size());
        ParallelFor(0, rows, work, [this](int lo, int hi) { Apply(lo, hi); }, 2);
        segments_.clear();
        cs_.clear();
        fanFirst_.clear();
    }

private:
    enum class Kind { Chain, Fan, Negate };
    struct Segment {
        Kind kind;
        int p;
        int count;
        std::size_t offset;
    };

    // Two rows at a time: the carried element of a chain is a dependency
    // from one rotation to the next (a multiply and an add of latency), so
    // two independent rows keep the floating-point unit busy.
    void Apply(int lo, int hi) const {
        long double* base = m_.prvky.data();
        const Index stride = m_.s;
        int r = lo;
        for (; r + 1 < hi; r += 2)
            ApplyTwo(base + static_cast<Index>(r) * stride, base + static_cast<Index>(r + 1) * stride);
        if (r < hi) ApplyOne(base + static_cast<Index>(r) * stride);
    }

    void ApplyOne(long double* row) const {
        const long double* cs = cs_.data();
        std::size_t fan = 0;
        for (const Segment& seg : segments_) {
            const long double* k = cs + seg.offset;
            if (seg.kind == Kind::Chain) {
                long double* e = row + seg.p;
                long double x = e[0];
                for (int t = 0; t < seg.count; ++t) {
                    const long double c = k[2 * t];
                    const long double s = k[2 * t + 1];
                    const long double z = e[t + 1];
                    e[t] = x * c + z * s;
                    x = z * c - x * s;
                }
                e[seg.count] = x;
            } else if (seg.kind == Kind::Fan) {
                if (seg.count == 0) continue;
                long double* e = row + fanFirst_[fan++];
                long double y = row[seg.p];
                for (int t = 0; t < seg.count; ++t) {
                    const long double c = k[2 * t];
                    const long double s = k[2 * t + 1];
                    const long double z = e[t];
                    const long double yn = y * c + z * s;
                    e[t] = z * c - y * s;
                    y = yn;
                }
                row[seg.p] = y;
            } else {
                row[seg.p] = -row[seg.p];
            }
        }
    }

    void ApplyTwo(long double* row0, long double* row1) const {
        const long double* cs = cs_.data();
        std::size_t fan = 0;
        for (const Segment& seg : segments_) {
            const long double* k = cs + seg.offset;
            if (seg.kind == Kind::Chain) {
                long double* e0 = row0 + seg.p;
                long double* e1 = row1 + seg.p;
                long double x0 = e0[0];
                long double x1 = e1[0];
                for (int t = 0; t < seg.count; ++t) {
                    const long double c = k[2 * t];
                    const long double s = k[2 * t + 1];
                    const long double z0 = e0[t + 1];
                    const long double z1 = e1[t + 1];
                    e0[t] = x0 * c + z0 * s;
                    e1[t] = x1 * c + z1 * s;
                    x0 = z0 * c - x0 * s;
                    x1 = z1 * c - x1 * s;
                }
                e0[seg.count] = x0;
                e1[seg.count] = x1;
            } else if (seg.kind == Kind::Fan) {
                if (seg.count == 0) continue;
                const int q = fanFirst_[fan++];
                long double* e0 = row0 + q;
                long double* e1 = row1 + q;
                long double y0 = row0[seg.p];
                long double y1 = row1[seg.p];
                for (int t = 0; t < seg.count; ++t) {
                    const long double c = k[2 * t];
                    const long double s = k[2 * t + 1];
                    const long double z0 = e0[t];
                    const long double z1 = e1[t];
                    const long double yn0 = y0 * c + z0 * s;
                    const long double yn1 = y1 * c + z1 * s;
                    e0[t] = z0 * c - y0 * s;
                    e1[t] = z1 * c - y1 * s;
                    y0 = yn0;
                    y1 = yn1;
                }
                row0[seg.p] = y0;
                row1[seg.p] = y1;
            } else {
                row0[seg.p] = -row0[seg.p];
                row1[seg.p] = -row1[seg.p];
            }
        }
    }

    Matice& m_;
    std::vector<Segment> segments_;
    std::vector<long double> cs_;
    std::vector<int> fanFirst_;
    std::size_t limit_ = 0;
};

}  // namespace

// Golub-Reinsch singular value decomposition (Golub and Reinsch, Numer. Math.
// 14 (1970) 403-420), in the formulation of Forsythe, Malcolm and Moler,
// "Computer Methods for Mathematical Computations", 1977.
//
// Every element of a, w and v receives exactly the operations of the textbook
// loops in the same order; the loops are only rearranged where independent:
// the column dot products of a Householder step are formed together row by
// row, the rank-one updates run along rows, and the rotations of the QR
// sweeps are queued and applied row by row (see RotationQueue).
void Svdcmp(Matice& a, MatPtr& w, MatPtr& v) {
    const int m = a.r;
    const int n = a.s;
    w = NewMatrix(a.s, 1);
    v = NewMatrix(a.s, a.s);
    std::vector<long double> rv1v(static_cast<std::size_t>(n) + 1, 0.0L);
    long double* rv1 = rv1v.data();  // 1-based
    long double* W = w->prvky.data() - 1;
    Matice& vm = *v;
    // 1-based element access for the scalar parts.
    auto A = [&a, n](int i, int j) -> long double& {
        return a.prvky[static_cast<Index>(i - 1) * n + static_cast<Index>(j - 1)];
    };
    auto V = [&vm, n](int i, int j) -> long double& {
        return vm.prvky[static_cast<Index>(i - 1) * n + static_cast<Index>(j - 1)];
    };
    auto negligible = [](long double x, long double anorm) { return std::fabs(x) + anorm == anorm; };
    // Work vectors, 0-based by column.
    std::vector<long double> accv(static_cast<std::size_t>(n) + 1, 0.0L);
    std::vector<long double> fv(static_cast<std::size_t>(n) + 1, 0.0L);
    std::vector<long double> wv(static_cast<std::size_t>(std::max(m, n)) + 1, 0.0L);
    long double* acc = accv.data();
    long double* fcol = fv.data();
    long double* wcol = wv.data();

    // Phase 1: Householder reduction to bidiagonal form.
    long double g = 0.0L, scale = 0.0L, anorm = 0.0L, s = 0.0L, f = 0.0L, h = 0.0L;
    int l = 0;
    for (int i = 1; i <= n; ++i) {
        ThrowIfCancelled();
        if (ProgressWanted()) {
            // Step i works on the remaining (n - i + 1)-sided block.
            const double left = static_cast<double>(n - i + 1) / n;
            SvdProgress(SvdStage::Bidiagonal, 1.0 - left * left * left);
        }
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
                // Columns l..n: s = sum_{k=i..m} a[k,i] a[k,j]; f = s / h;
                // a[k,j] += f a[k,i].
                const long double hh = h;
                HouseholderColumns(a, i - 1, i - 1, i - 1, m, l - 1, n, acc, fcol, wcol,
                                   [hh](long double sum) { return sum / hh; });
                for (int k = i; k <= m; ++k) A(k, i) = scale * A(k, i);
            }
        }
        W[i] = scale * g;
        g = s = scale = 0.0L;
        if (i <= m && i != n) {
            long double* ri = RowPtr(a, i - 1);
            for (int k = l; k <= n; ++k) scale = scale + std::fabs(ri[k - 1]);
            if (scale != 0.0L) {
                for (int k = l; k <= n; ++k) {
                    ri[k - 1] = ri[k - 1] / scale;
                    s = s + ri[k - 1] * ri[k - 1];
                }
                f = ri[l - 1];
                g = -TransferSign(static_cast<double>(std::sqrt(s)), static_cast<double>(f));
                h = f * g - s;
                ri[l - 1] = f - g;
                for (int k = l; k <= n; ++k) rv1[k] = ri[k - 1] / h;
                // Rows l..m: s = sum_{k=l..n} a[j,k] a[i,k]; a[j,k] += s rv1[k].
                const double work = 2.0 * static_cast<double>(m - l + 1) * (n - l + 1);
                ParallelFor(l, m + 1, work, [&](int lo, int hi) {
                    // Two rows at a time: two independent running sums.
                    int j = lo;
                    for (; j + 1 < hi; j += 2) {
                        long double* r0 = RowPtr(a, j - 1);
                        long double* r1 = RowPtr(a, j);
                        long double s0 = 0.0L, s1 = 0.0L;
                        for (int k = l - 1; k < n; ++k) {
                            const long double x = ri[k];
                            s0 = s0 + r0[k] * x;
                            s1 = s1 + r1[k] * x;
                        }
                        for (int k = l - 1; k < n; ++k) {
                            const long double x = rv1[k + 1];
                            r0[k] = r0[k] + s0 * x;
                            r1[k] = r1[k] + s1 * x;
                        }
                    }
                    for (; j < hi; ++j) {
                        long double* rj = RowPtr(a, j - 1);
                        long double sum = 0.0L;
                        for (int k = l - 1; k < n; ++k) sum = sum + rj[k] * ri[k];
                        for (int k = l - 1; k < n; ++k) rj[k] = rj[k] + sum * rv1[k + 1];
                    }
                }, 2);
                for (int k = l; k <= n; ++k) ri[k - 1] = scale * ri[k - 1];
            }
        }
        anorm = MaxOf(static_cast<double>(std::fabs(W[i]) + std::fabs(rv1[i])),
                      static_cast<double>(anorm));
    }

    // Phases 2 and 3 build V and U from the Householder vectors.  They share
    // no data once the right-hand vectors (the rows of a above the
    // superdiagonal, which phase 3 overwrites) are moved into the strict
    // upper triangle of v: phase 2 reads row i of v only in its step i,
    // before which no step has touched it, and clears it afterwards as it
    // always did.  So the two phases can run at the same time, each with
    // exactly its serial operations.
    for (int i = 1; i <= std::min(m, n - 1); ++i) {
        const long double* src = RowPtr(a, i - 1);
        long double* dst = RowPtr(vm, i - 1);
        for (int j = i; j < n; ++j) dst[j] = src[j];
    }
    std::vector<long double> accRightv(static_cast<std::size_t>(n) + 1, 0.0L);
    const long double gRight = g;
    const int lRight = l;
    // Phase 2: accumulation of the right-hand transformations.
    auto right = [&] {
        long double* accR = accRightv.data();
        long double gi = gRight;
        int li = lRight;
        for (int i = n; i >= 1; --i) {
            ThrowIfCancelled();
            if (i < n) {
                if (gi != 0.0L) {
                    const long double* ri = RowPtr(vm, i - 1);
                    for (int j = li; j <= n; ++j) V(j, i) = (ri[j - 1] / ri[li - 1]) / gi;
                    // Columns l..n of v: s = sum_{k=l..n} a[i,k] v[k,j];
                    // v[k,j] += s v[k,i].  The dots weight row k of v by a[i,k]
                    // (moved into row i of v).
                    const double work = 4.0 * static_cast<double>(n - li + 1) * (n - li + 1);
                    // Dots by columns, the update by rows (see HouseholderColumns).
                    ParallelFor(li - 1, n, work / 2, [&](int lo, int hi) {
                        ColumnDots(vm, ri, li - 1, n, lo, hi, accR);
                    }, 8);
                    ParallelFor(li - 1, n, work / 2, [&](int lo, int hi) {
                        ColumnUpdate(vm, i - 1, lo, hi, li - 1, n, accR);
                    });
                }
                for (int j = li; j <= n; ++j) {
                    V(i, j) = 0.0L;
                    V(j, i) = 0.0L;
                }
            }
            V(i, i) = 1.0L;
            gi = rv1[i];
            li = i;
        }
    };

    // Phase 3: accumulation of the left-hand transformations.
    auto left = [&] {
        for (int i = std::min(m, n); i >= 1; --i) {
            ThrowIfCancelled();
            l = i + 1;
            g = W[i];
            long double* ri = RowPtr(a, i - 1);
            for (int j = l; j <= n; ++j) ri[j - 1] = 0.0L;
            if (g != 0.0L) {
                g = 1.0L / g;
                // Columns l..n: s = sum_{k=l..m} a[k,i] a[k,j];
                // f = (s / a[i,i]) g; a[k,j] += f a[k,i] for k = i..m.
                const long double aii = ri[i - 1];
                const long double gg = g;
                HouseholderColumns(a, i - 1, l - 1, i - 1, m, l - 1, n, acc, fcol, wcol,
                                   [aii, gg](long double sum) { return (sum / aii) * gg; });
                for (int j = i; j <= m; ++j) A(j, i) = A(j, i) * g;
            } else {
                for (int j = i; j <= m; ++j) A(j, i) = 0.0L;
            }
            A(i, i) = A(i, i) + 1.0L;
        }
    };

    // On two processors the phases run side by side (a part of a split loop
    // runs its inner loops serially): about twice as fast, with no hand-over
    // per step.  With more, each phase in turn splits its steps between all
    // of them.  Unsplit, phase 2 comes first as in the textbook.
    if (ProgressWanted()) SvdProgress(SvdStage::Accumulation, 0.0);
    if (ParallelThreads() == 2) {
        // About 4/3 n^3 operations in each phase.
        const double work = 4.0 / 3.0 * static_cast<double>(n) * n * std::max(m, n);
        ParallelFor(0, 2, work, [&](int lo, int hi) {
            for (int t = lo; t < hi; ++t) {
                if (t == 0)
                    right();
                else
                    left();
            }
        });
    } else {
        right();
        left();
    }

    // Phase 4: diagonalisation of the bidiagonal form by implicitly shifted QR.
    RotationQueue rotateU(a);
    RotationQueue rotateV(vm);
    for (int k = n; k >= 1; --k) {
        ThrowIfCancelled();
        if (ProgressWanted()) SvdProgress(SvdStage::Diagonal, static_cast<double>(n - k) / n);
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
                rotateU.MaybeFlush();
                rotateU.BeginFan(nm - 1);
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
                    rotateU.AddFan(i - 1, c, s);
                }
            }
            long double z = W[k];
            if (l == k) {
                if (z < 0.0L) {
                    W[k] = -z;
                    rotateV.MaybeFlush();
                    rotateV.Negate(k - 1);
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
            rotateU.MaybeFlush();
            rotateV.MaybeFlush();
            rotateU.BeginChain(l - 1);
            rotateV.BeginChain(l - 1);
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
                rotateV.Add(c, s);
                z = Pythag(f, h);
                W[j] = z;
                if (z != 0.0L) {
                    z = 1.0L / z;
                    c = f * z;
                    s = h * z;
                }
                f = c * g + s * y;
                x = c * y - s * g;
                rotateU.Add(c, s);
            }
            rv1[l] = 0.0L;
            rv1[k] = f;
            W[k] = x;
        }
    }
    rotateU.Flush();
    rotateV.Flush();
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

bool AllFinite(const Matice& M) {
    for (long double e : M.prvky)
        if (!std::isfinite(e)) return false;
    return true;
}

// V * D * U^T formed as MatMul(MatMul(V, D), MatTranspose(U)) would form it,
// bit for bit, without the work on zeros.  With V, D and U finite:
//  - T = V * D: element (i, k) sums v(i, j) * D(j, k) from +0; every term
//    with j != k is a signed zero, and a sum that starts at +0 never becomes
//    -0 in round-to-nearest, so T(i, k) = v(i, k) * D(k, k) + 0 exactly.
//  - A column k with D(k, k) = 0 is then +0 throughout, and its terms in
//    T * U^T are signed zeros that leave every running sum unchanged; such
//    columns are left out.
// Any non-finite value (where 0 * inf would be NaN) takes the plain route.
MatPtr ProductVDUt(const Matice& v, const Matice& D, const Matice& U) {
    const int n = v.r;
    const int m = U.r;
    bool finiteDiagonal = true;
    for (int k = 1; k <= D.r; ++k) finiteDiagonal = finiteDiagonal && std::isfinite(D.GetPrvek(k, k));
    if (!finiteDiagonal || !AllFinite(v) || !AllFinite(U)) {
        MatPtr T = MatMul(v, D);
        MatPtr Ut = MatTranspose(U);
        return MatMul(*T, *Ut);
    }
    std::vector<int> kept;
    for (int k = 1; k <= D.r; ++k)
        if (D.GetPrvek(k, k) != 0.0L) kept.push_back(k);
    const int r = static_cast<int>(kept.size());
    std::vector<long double> Tc(static_cast<std::size_t>(n) * r);
    std::vector<long double> Uc(static_cast<std::size_t>(m) * r);
    for (int t = 0; t < r; ++t) {
        const int k = kept[t];
        const long double d = D.GetPrvek(k, k);
        for (int i = 1; i <= n; ++i) Tc[static_cast<std::size_t>(i - 1) * r + t] = v.GetPrvek(i, k) * d + 0.0L;
        for (int j = 1; j <= m; ++j) Uc[static_cast<std::size_t>(j - 1) * r + t] = U.GetPrvek(j, k);
    }
    MatPtr R = NewMatrix(static_cast<std::uint16_t>(n), static_cast<std::uint16_t>(m));
    DotProducts(Tc.data(), n, Uc.data(), m, r, R->prvky.data(), m);
    return R;
}

template <class Reciprocals>
MatPtr PseudoInverseWith(const Matice& A, bool& flag, Reciprocals reciprocals) {
    MatPtr a = MatCopy(A);
    MatPtr w, v;
    Svdcmp(*a, w, v);
    MatPtr D = reciprocals(*w);
    if (!flag) return nullptr;
    ThrowIfCancelled();
    if (ProgressWanted()) SvdProgress(SvdStage::Product, 0.0);
    MatPtr product = ProductVDUt(*v, *D, *a);
    if (ProgressWanted()) SvdProgress(SvdStage::Product, 1.0);
    return product;
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
