#include "adjustment/image_precision.h"

#include <array>
#include <cmath>
#include <vector>

#include "adjustment/bundle_normal_equations.h"
#include "adjustment/schur_solve.h"
#include "matrix/arithmetic.h"
#include "matrix/fp_guard.h"
#include "matrix/svd.h"
#include "orientation/collinearity.h"

namespace pelvanor {

namespace {

// The design rows of the adjustment at its unknowns, in its observation
// order (points in list order, their measurements in pair order), and the
// number b of fixed points.  False when the tables do not fit together.
bool AssembleRows(const Matice& controlTable, const Matice& imageTable, const Matice& pointList,
                  const Matice& unknowns, const Matice& imageIndex, std::int32_t width,
                  long double x0, long double y0, long double f, std::int32_t fixedCount,
                  const ControlWeighting* weighting, BundleRows& rows) {
    const std::int32_t p = pointList.r;
    const std::int32_t m = imageIndex.r;
    const std::int64_t u = 3LL * p + static_cast<std::int64_t>(width) * m;
    if (p < 1 || m < 1 || imageIndex.s < 1 || unknowns.s < 1 || unknowns.r != u) return false;
    for (std::int32_t j = 1; j <= m; ++j)
        if (RoundId(imageIndex.GetPrvek(j, 1)) != 3LL * p + static_cast<std::int64_t>(width) * (j - 1) + 1)
            return false;

    // Control points lead the list (negative image numbers); the first b of
    // them are the datum.
    std::int32_t c = 0;
    for (std::int32_t k = 1; k <= p; ++k)
        for (std::int32_t col = 3; col <= pointList.s; col += 2)
            if (RoundId(pointList.GetPrvek(k, col)) < 0) c = k;
    const bool weighted = weighting != nullptr && weighting->Active();
    const std::int32_t b = weighted ? FixedPointsOfList(pointList, fixedCount, weighting)
                                    : (fixedCount < 0 ? 0 : (fixedCount > c ? c : fixedCount));
    // Weighted control observes its own coordinates: its weights belong to
    // the normal matrix (the misclosures do not matter for the cofactors).
    std::vector<ControlPrior> priors;
    if (weighted && !ControlPriorsOfList(pointList, controlTable, b, weighting, priors)) return false;

    std::vector<std::array<long double, 9>> R(static_cast<std::size_t>(m));
    for (std::int32_t j = 0; j < m; ++j) {
        const std::int32_t ic = 3 * p + width * j + 1;
        MatPtr rot;
        if (!RotationMatrix(rot, unknowns.GetPrvek(ic + 3, 1), unknowns.GetPrvek(ic + 4, 1),
                            unknowns.GetPrvek(ic + 5, 1)))
            return false;
        for (std::int32_t q = 0; q < 9; ++q) R[static_cast<std::size_t>(j)][static_cast<std::size_t>(q)] = rot->GetPrvek(1, q + 1);
    }

    rows = BundleRows{};
    rows.u = static_cast<std::int32_t>(u);
    rows.fixed = 3 * b;
    rows.imageWidth = width;
    const std::int32_t w = rows.Width();
    auto pointRow = NewMatrix(1, 5);
    for (std::int32_t i = 1; i <= p; ++i) {
        for (std::int32_t col = 2; col + 1 <= pointList.s; col += 2) {
            const std::int64_t g = RoundId(pointList.GetPrvek(i, col + 1));
            if (g == 0) continue;
            const std::int64_t row = RoundId(pointList.GetPrvek(i, col));
            long double x = 0.0L, y = 0.0L;
            std::int64_t image = 0;
            if (g < 0) {
                if (-g > m || row < 1 || row > controlTable.r || controlTable.s < 6) return false;
                image = -g - 1;
                x = controlTable.GetPrvek(static_cast<std::int32_t>(row), 5);
                y = controlTable.GetPrvek(static_cast<std::int32_t>(row), 6);
            } else {
                if (g > m || row < 1 || row > imageTable.r || imageTable.s < 3) return false;
                image = g - 1;
                x = imageTable.GetPrvek(static_cast<std::int32_t>(row), 2);
                y = imageTable.GetPrvek(static_cast<std::int32_t>(row), 3);
            }
            const std::int32_t pc = 3 * (i - 1);
            const std::int32_t ic = 3 * p + width * static_cast<std::int32_t>(image);
            for (std::int32_t q = 0; q < 3; ++q) pointRow->SetPrvek(1, q + 1, unknowns.GetPrvek(pc + q + 1, 1));
            pointRow->SetPrvek(1, 4, x);
            pointRow->SetPrvek(1, 5, y);
            const auto& r = R[static_cast<std::size_t>(image)];
            const long double X0 = unknowns.GetPrvek(ic + 1, 1), Y0 = unknowns.GetPrvek(ic + 2, 1),
                              Z0 = unknowns.GetPrvek(ic + 3, 1);
            MatPtr B, misclosure;
            const bool ok =
                width == 7 ? CollinearityRows10(*pointRow, B, misclosure, r[0], r[1], r[2], r[3], r[4], r[5], r[6],
                                                r[7], r[8], X0, Y0, Z0, x0, y0, unknowns.GetPrvek(ic + 7, 1))
                           : CollinearityRows9(*pointRow, B, misclosure, r[0], r[1], r[2], r[3], r[4], r[5], r[6],
                                               r[7], r[8], X0, Y0, Z0, x0, y0, f);
            if (!ok || !B || !misclosure || B->s != w) return false;
            for (std::int32_t e = 1; e <= 2; ++e) {
                rows.pointColumn.push_back(pc);
                rows.imageColumn.push_back(ic);
                for (std::int32_t q = 1; q <= w; ++q) rows.a.push_back(B->GetPrvek(e, q));
                rows.l.push_back(misclosure->GetPrvek(e, 1));
            }
        }
    }
    rows.n = static_cast<std::int32_t>(rows.l.size());
    if (weighted) AddControlPriorRows(priors, weighting->imageSigma, rows);
    return rows.n > 0;
}

// Diagonal of (L L^T)^-1 for the lower Cholesky factor L (row-major, order
// R): sum over k of (L^-1)_ki^2, with L^-1 by forward substitution.
std::vector<long double> InverseDiagonal(const std::vector<long double>& L, std::size_t R) {
    std::vector<long double> inverse(R * R, 0.0L);  // L^-1, lower triangle, row-major
    for (std::size_t col = 0; col < R; ++col) {
        for (std::size_t i = col; i < R; ++i) {
            long double s = i == col ? 1.0L : 0.0L;
            for (std::size_t k = col; k < i; ++k) s = s - L[i * R + k] * inverse[k * R + col];
            inverse[i * R + col] = s / L[i * R + i];
        }
    }
    std::vector<long double> diagonal(R, 0.0L);
    for (std::size_t i = 0; i < R; ++i)
        for (std::size_t k = i; k < R; ++k) diagonal[i] = inverse[k * R + i] * inverse[k * R + i] + diagonal[i];
    return diagonal;
}

// The same diagonal from the pseudo-inverse of the bordered normal matrix
// [[N, C^T], [C, 0]] at the image positions, as the adjustment's own solve.
bool BorderedDiagonal(const BundleRows& rows, const std::vector<long double>* weights, std::int32_t first,
                      std::vector<long double>& diagonal) {
    const std::int32_t order = rows.u + rows.fixed;
    MatPtr K = NewMatrix(static_cast<std::uint16_t>(order), static_cast<std::uint16_t>(order));
    const std::int32_t w = rows.Width();
    for (std::int32_t h = 0; h < rows.n; ++h) {
        const long double* a = rows.a.data() + static_cast<std::size_t>(h) * w;
        const long double wt = weights != nullptr ? (*weights)[static_cast<std::size_t>(h)] : 1.0L;
        const auto column = [&](std::int32_t q) {
            return q < 3 ? rows.pointColumn[static_cast<std::size_t>(h)] + q
                         : rows.imageColumn[static_cast<std::size_t>(h)] + q - 3;
        };
        for (std::int32_t qi = 0; qi < w; ++qi)
            for (std::int32_t qj = 0; qj < w; ++qj) {
                const std::int32_t r = column(qi) + 1, c = column(qj) + 1;
                K->SetPrvek(r, c, a[qi] * wt * a[qj] + K->GetPrvek(r, c));
            }
    }
    for (const BundleRows::PointPrior& prior : rows.priors)
        for (std::int32_t q = 0; q < 3; ++q) {
            const std::int32_t r = prior.column + q + 1;
            K->SetPrvek(r, r, K->GetPrvek(r, r) + prior.weight[q]);
        }
    for (std::int32_t k = 1; k <= rows.fixed; ++k) {
        K->SetPrvek(rows.u + k, k, 1.0L);
        K->SetPrvek(k, rows.u + k, 1.0L);
    }
    bool ok = false;
    MatPtr S = PseudoInverseTol(*K, ok, kBundlePseudoInverseTolerance);
    if (!ok || !S) return false;
    diagonal.assign(static_cast<std::size_t>(rows.u - first), 0.0L);
    for (std::int32_t k = first; k < rows.u; ++k)
        diagonal[static_cast<std::size_t>(k - first)] = S->GetPrvek(k + 1, k + 1);
    return true;
}

}  // namespace

bool ImageStandardDeviations(const Matice* controlTable, const Matice* imageTable,
                             const Matice* pointList, const Matice* unknowns,
                             const Matice* imageIndex, std::int32_t imageWidth, long double x0,
                             long double y0, long double f, std::int32_t fixedCount,
                             const Matice* weights, const ControlWeighting* weighting, long double m0,
                             MatPtr& deviations, bool* byElimination) {
    if (controlTable == nullptr || imageTable == nullptr || pointList == nullptr || unknowns == nullptr ||
        imageIndex == nullptr || (imageWidth != 6 && imageWidth != 7))
        return false;
    return GuardedComputation([&] {
        BundleRows rows;
        if (!AssembleRows(*controlTable, *imageTable, *pointList, *unknowns, *imageIndex, imageWidth, x0, y0,
                          f, fixedCount, weighting, rows))
            return false;
        std::vector<long double> w;
        if (weights != nullptr) {
            if (weights->r != rows.n || weights->s < 1) return false;
            for (std::int32_t i = 1; i <= weights->r; ++i) w.push_back(weights->GetPrvek(i, 1));
        }
        const std::vector<long double>* W = weights != nullptr ? &w : nullptr;
        const std::int32_t m = imageIndex->r;
        const std::int32_t first = 3 * pointList->r;

        // The elimination factorises the reduced image system; the
        // correction it also computes is not needed.
        SparseWorkspace sparse;
        std::vector<long double> d, v;
        long double vtv = 0.0L;
        std::vector<long double> diagonal;
        const bool eliminated = SolveBundlePassSparse(rows, W, false, sparse, d, v, vtv);
        if (eliminated) {
            diagonal = InverseDiagonal(sparse.reduced, static_cast<std::size_t>(rows.u - first));
        } else if (!BorderedDiagonal(rows, W, first, diagonal)) {
            return false;
        }
        if (byElimination != nullptr) *byElimination = eliminated;

        deviations = NewMatrix(static_cast<std::uint16_t>(m), static_cast<std::uint16_t>(imageWidth));
        for (std::int32_t j = 0; j < m; ++j)
            for (std::int32_t q = 0; q < imageWidth; ++q) {
                // A cofactor is positive; anything else comes from a system
                // the pseudo-inverse could not separate: no precision to tell.
                const long double qkk = diagonal[static_cast<std::size_t>(j * imageWidth + q)];
                if (!(qkk > 0.0L)) return false;
                deviations->SetPrvek(j + 1, q + 1, m0 * std::sqrt(qkk));
            }
        return true;
    });
}

}  // namespace pelvanor
