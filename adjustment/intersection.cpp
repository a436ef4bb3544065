#include "adjustment/intersection.h"

#include <cmath>

#include "adjustment/approximate_points.h"
#include "matrix/arithmetic.h"
#include "matrix/fp_guard.h"
#include "matrix/least_squares.h"
#include "orientation/collinearity.h"

namespace pelvanor {

bool ApproximatePointsFromBundle(const Matice* index, const Matice* counts,
                                 const Matice* imageTable, const Matice* unknowns,
                                 const Matice* imageIndex, long double x0, long double y0,
                                 long double f, MatPtr& start) {
    return GuardedComputation([&] {
        if (unknowns == nullptr || imageIndex == nullptr || imageIndex->s < 1) return false;
        auto orientations = NewMatrix(imageIndex->r, 12);
        for (std::int32_t i = 1; i <= imageIndex->r; ++i) {
            const std::int32_t first = RoundId(imageIndex->GetPrvek(i, 1));
            if (first < 1 || static_cast<long long>(first) + 5 > unknowns->r) return false;
            MatPtr R;
            if (!RotationMatrix(R, unknowns->GetPrvek(first + 3, 1),
                                unknowns->GetPrvek(first + 4, 1),
                                unknowns->GetPrvek(first + 5, 1))) {
                return false;
            }
            for (std::int32_t q = 1; q <= 9; ++q) orientations->SetPrvek(i, q, R->GetPrvek(1, q));
            for (std::int32_t q = 0; q < 3; ++q) {
                orientations->SetPrvek(i, 10 + q, unknowns->GetPrvek(first + q, 1));
            }
        }
        return ApproximateObjectPoints(index, counts, imageTable, orientations.get(), x0, y0, f,
                                       start);
    });
}

namespace {

// ownF: the image's camera constant is the seventh unknown; otherwise f.
bool Intersect(const Matice* imageTable, const Matice* index, const Matice* counts,
               Matice* start, const Matice* unknowns, const Matice* imageIndex,
               long double tolerance, long double x0, long double y0, long double f, bool ownF,
               std::int32_t maxIterations, MatPtr& result) {
    return GuardedComputation([&] {
        if (imageTable == nullptr || index == nullptr || counts == nullptr || start == nullptr ||
            unknowns == nullptr || imageIndex == nullptr) {
            return false;
        }
        result = NewMatrix(index->r, 8);
        if (index->r < 1 || RoundId(index->GetPrvek(1, 1)) <= 0) return false;  // no point
        if (counts->r < index->r || counts->s < 2 || start->r < index->r || start->s < 4 ||
            imageTable->s < 3 || imageIndex->s < 1) {
            return false;
        }
        const std::int32_t imageValues = ownF ? 7 : 6;
        auto pointRow = NewMatrix(1, 5);
        for (std::int32_t o = 1; o <= index->r; ++o) {
            const std::int32_t c = RoundId(counts->GetPrvek(o, 2));
            if (c < 1 || !FitsMatrixSize(2LL * c) || 2LL * c + 1 > index->s) return false;
            long double m0 = 0.0L;
            long double previous = 0.0L;
            long double delta = 100.0L;
            std::int32_t pass = 0;
            MatPtr mx;
            while (delta > tolerance) {
                // A point whose m0 keeps changing stops after the adjustment's
                // pass limit with the values of its last pass.
                if (maxIterations < pass) break;
                ++pass;
                previous = m0;
                auto A = NewMatrix(static_cast<std::uint16_t>(2 * c), 3);
                auto minusL = NewMatrix(static_cast<std::uint16_t>(2 * c), 1);
                std::int32_t h = 1;
                for (std::int32_t t = 1; t <= c; ++t) {
                    const std::int32_t img = RoundId(index->GetPrvek(o, 2 * t + 1));
                    if (img <= 0) continue;
                    const std::int32_t row = RoundId(index->GetPrvek(o, 2 * t));
                    if (row < 1 || row > imageTable->r || img > imageIndex->r) return false;
                    const std::int32_t first = RoundId(imageIndex->GetPrvek(img, 1));
                    if (first < 1 || static_cast<long long>(first) + imageValues - 1 > unknowns->r) {
                        return false;
                    }
                    pointRow->SetPrvek(1, 1, start->GetPrvek(o, 2));
                    pointRow->SetPrvek(1, 2, start->GetPrvek(o, 3));
                    pointRow->SetPrvek(1, 3, start->GetPrvek(o, 4));
                    pointRow->SetPrvek(1, 4, imageTable->GetPrvek(row, 2));
                    pointRow->SetPrvek(1, 5, imageTable->GetPrvek(row, 3));
                    const long double X0 = unknowns->GetPrvek(first, 1);
                    const long double Y0 = unknowns->GetPrvek(first + 1, 1);
                    const long double Z0 = unknowns->GetPrvek(first + 2, 1);
                    const long double F = ownF ? unknowns->GetPrvek(first + 6, 1) : f;
                    MatPtr R;
                    if (!RotationMatrix(R, unknowns->GetPrvek(first + 3, 1),
                                        unknowns->GetPrvek(first + 4, 1),
                                        unknowns->GetPrvek(first + 5, 1))) {
                        return false;
                    }
                    const long double* r = R->Row(1);
                    MatPtr B;
                    MatPtr misclosure;
                    if (!CollinearityRows3(*pointRow, B, misclosure, r[0], r[1], r[2], r[3], r[4],
                                           r[5], r[6], r[7], r[8], X0, Y0, Z0, x0, y0, F)) {
                        return false;
                    }
                    for (std::int32_t e = 1; e <= 2; ++e) {
                        for (std::int32_t q = 1; q <= 3; ++q) {
                            A->SetPrvek(h + e - 1, q, B->GetPrvek(e, q));
                        }
                        minusL->SetPrvek(h + e - 1, 1, -misclosure->GetPrvek(e, 1));
                    }
                    h += 2;
                }
                MatPtr d;
                MatPtr v;
                MatPtr vtv;
                MatPtr vtvCheck;
                // The solve hands (A^T A)^+ to the accuracy step: one decomposition.
                MatPtr Q;
                if (!SolveNormal(*A, *minusL, d, &Q) ||
                    !ResidualsAndAccuracy(*A, *minusL, *d, v, vtv, vtvCheck, m0, mx, Q.get()))
                    return false;
                delta = std::fabs((previous - m0) / m0 * 100.0L);
                FpBarrier(delta);
                for (std::int32_t q = 1; q <= 3; ++q) {
                    start->SetPrvek(o, 1 + q, start->GetPrvek(o, 1 + q) + d->GetPrvek(q, 1));
                }
            }
            if (!mx) return false;
            result->SetPrvek(o, 1, index->GetPrvek(o, 1));
            for (std::int32_t q = 1; q <= 3; ++q) {
                result->SetPrvek(o, 1 + q, start->GetPrvek(o, 1 + q));
                result->SetPrvek(o, 5 + q, mx->GetPrvek(1, q));
            }
            result->SetPrvek(o, 5, m0);
        }
        return true;
    });
}

}  // namespace

bool IntersectPoints(const Matice* imageTable, const Matice* index, const Matice* counts,
                     Matice* start, const Matice* unknowns, const Matice* imageIndex,
                     long double tolerance, long double x0, long double y0, long double f,
                     std::int32_t maxIterations, MatPtr& result) {
    return Intersect(imageTable, index, counts, start, unknowns, imageIndex, tolerance, x0, y0, f,
                     false, maxIterations, result);
}

bool IntersectPointsWithF(const Matice* imageTable, const Matice* index, const Matice* counts,
                          Matice* start, const Matice* unknowns, const Matice* imageIndex,
                          long double tolerance, long double x0, long double y0,
                          std::int32_t maxIterations, MatPtr& result) {
    return Intersect(imageTable, index, counts, start, unknowns, imageIndex, tolerance, x0, y0,
                     0.0L, true, maxIterations, result);
}

}  // namespace pelvanor
