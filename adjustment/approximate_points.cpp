#include "adjustment/approximate_points.h"

#include <cmath>
#include <cstdint>

#include "matrix/arithmetic.h"
#include "matrix/fp_guard.h"
#include "matrix/least_squares.h"

namespace pelvanor {

bool RayOfObservation(const Matice* measurement, const Matice* orientation, MatPtr& direction,
                      long double x0, long double y0, long double f, MatPtr& centre) {
    return GuardedComputation([&] {
        if (measurement == nullptr || orientation == nullptr) return false;
        if (measurement->r < 1 || measurement->s < 3 || orientation->r < 1 ||
            orientation->s < 12) {
            return false;
        }
        const long double x = measurement->GetPrvek(1, 2);
        const long double y = measurement->GetPrvek(1, 3);
        direction = NewMatrix(3, 1);
        for (std::int32_t i = 1; i <= 3; ++i) {
            const long double ri1 = orientation->GetPrvek(1, 3 * i - 2);
            const long double ri2 = orientation->GetPrvek(1, 3 * i - 1);
            const long double ri3 = orientation->GetPrvek(1, 3 * i);
            direction->SetPrvek(i, 1, ri1 * (x - x0) + ri2 * (y + y0) - ri3 * f);
        }
        centre = NewMatrix(3, 1);
        for (std::int32_t i = 1; i <= 3; ++i) {
            centre->SetPrvek(i, 1, orientation->GetPrvek(1, 9 + i));
        }
        return true;
    });
}

bool ApproximateObjectPoints(const Matice* index, const Matice* counts, const Matice* imageTable,
                             const Matice* orientations, long double x0, long double y0,
                             long double f, MatPtr& result) {
    return GuardedComputation([&] {
        if (index == nullptr || counts == nullptr || imageTable == nullptr ||
            orientations == nullptr) {
            return false;
        }
        result = NewMatrix(index->r, 8);
        // A counts table without a count column (the 1 x 1 empty table)
        // holds no point to process.
        if (counts->s < 2) return true;
        if (imageTable->s < 3 || orientations->s < 12) return false;

        auto measurement = NewMatrix(1, 3);
        auto orientation = NewMatrix(1, 12);
        std::int32_t q = 1;
        for (std::int32_t b = 1; b <= index->r; ++b) {
            if (b > counts->r) return false;
            const long double c = counts->GetPrvek(b, 2);
            if (!(c > 1.0L)) continue;
            const std::int32_t k = RoundId(c);
            if (2 * static_cast<long long>(k) + 1 > index->s) return false;
            const std::int32_t rows = 3 * k;
            const std::int32_t cols = k + 3;
            if (!FitsMatrixSize(rows)) return false;

            auto A = NewMatrix(static_cast<std::uint16_t>(rows), static_cast<std::uint16_t>(cols));
            auto minusL = NewMatrix(static_cast<std::uint16_t>(rows), 1);
            std::int32_t h = 1;
            for (std::int32_t t = 1; t <= k; ++t) {
                const std::int32_t img = RoundId(index->GetPrvek(b, 2 * t + 1));
                if (img <= 0) continue;
                const std::int32_t row = RoundId(index->GetPrvek(b, 2 * t));
                if (row < 1 || row > imageTable->r || img > orientations->r) return false;
                for (std::int32_t j = 1; j <= 3; ++j) {
                    measurement->SetPrvek(1, j, imageTable->GetPrvek(row, j));
                }
                for (std::int32_t j = 1; j <= 12; ++j) {
                    orientation->SetPrvek(1, j, orientations->GetPrvek(img, j));
                }
                MatPtr d;
                MatPtr C;
                if (!RayOfObservation(measurement.get(), orientation.get(), d, x0, y0, f, C)) {
                    return false;
                }
                for (std::int32_t i = 0; i < 3; ++i) {
                    A->SetPrvek(h + i, 1 + i, -1.0L);
                    A->SetPrvek(h + i, 3 + t, d->GetPrvek(1 + i, 1));
                    minusL->SetPrvek(h + i, 1, -C->GetPrvek(1 + i, 1));
                }
                h += 3;
            }

            MatPtr u;
            MatPtr v;
            MatPtr vtv;
            MatPtr vtvCheck;
            MatPtr mx;
            long double m0 = 0.0L;
            // The solve hands (A^T A)^+ to the accuracy step: one decomposition.
            MatPtr Q;
            if (!SolveNormal(*A, *minusL, u, &Q) ||
                !ResidualsAndAccuracy(*A, *minusL, *u, v, vtv, vtvCheck, m0, mx, Q.get()))
                return false;

            result->SetPrvek(q, 1, index->GetPrvek(b, 1));
            for (std::int32_t j = 1; j <= 3; ++j) result->SetPrvek(q, 1 + j, u->GetPrvek(j, 1));
            result->SetPrvek(q, 5, m0);
            for (std::int32_t j = 1; j <= 3; ++j) result->SetPrvek(q, 5 + j, mx->GetPrvek(1, j));
            ++q;
        }
        return true;
    });
}

}  // namespace pelvanor
