#include "orientation/refinement.h"

#include <cmath>

#include "matrix/arithmetic.h"
#include "matrix/fp_guard.h"
#include "matrix/least_squares.h"
#include "orientation/collinearity.h"

namespace pelvanor {

namespace {

// One Gauss-Newton step of image i at the orientation `current` (row i):
// writes the new orientation into row i of `next` and the step's unit
// standard deviation into m0.
bool RefineImage(const Matice& control, int first, int count, const Matice& current, int i,
                 long double x0, long double y0, long double f, Matice& next, long double& m0) {
    const long double* o = current.Row(i);
    MatPtr A = NewMatrix(static_cast<std::uint16_t>(2 * count), 6);
    MatPtr l = NewMatrix(static_cast<std::uint16_t>(2 * count), 1);
    for (int j = 1; j <= count; ++j) {
        const int row = first + j - 1;
        MatPtr point = NewMatrix(1, 5);
        if (!CopyBlock(*point, 1, 1, control, row, row, 2, 6)) return false;
        MatPtr design, misclosure;
        if (!CollinearityRows6(*point, design, misclosure, o[0], o[1], o[2], o[3], o[4], o[5],
                               o[6], o[7], o[8], o[9], o[10], o[11], x0, y0, f))
            return false;
        if (!CopyBlock(*A, 2 * j - 1, 1, *design, 1, 2, 1, 6)) return false;
        if (!CopyBlock(*l, 2 * j - 1, 1, *misclosure, 1, 2, 1, 1)) return false;
    }
    // A d = l in the least-squares sense; the correction of the unknowns is
    // -d, since the misclosure is computed minus measured.
    MatPtr d;
    MatPtr Q;
    if (!SolveNormal(*A, *l, d, &Q)) return false;
    MatPtr correction = MatScale(*d, -1.0L);
    MatPtr v, vtv, vtvCheck, mx;
    if (!ResidualsAndAccuracy(*A, *l, *correction, v, vtv, vtvCheck, m0, mx, Q.get())) return false;

    const Angles angles =
        AnglesFromRotation(o[0], o[1], o[2], o[3], o[4], o[5], o[6], o[7], o[8]);
    const long double X0 = o[9] + correction->GetPrvek(1, 1);
    const long double Y0 = o[10] + correction->GetPrvek(2, 1);
    const long double Z0 = o[11] + correction->GetPrvek(3, 1);
    const long double alfa = angles.alfa + correction->GetPrvek(4, 1);
    const long double beta = angles.beta + correction->GetPrvek(5, 1);
    const long double gama = angles.gama + correction->GetPrvek(6, 1);
    MatPtr R;
    if (!RotationMatrix(R, alfa, beta, gama)) return false;
    for (int j = 1; j <= 9; ++j) next.SetPrvek(i, j, R->GetPrvek(1, j));
    next.SetPrvek(i, 10, X0);
    next.SetPrvek(i, 11, Y0);
    next.SetPrvek(i, 12, Z0);
    return true;
}

}  // namespace

bool RefineOrientation(const Matice* control, const Matice* rowCounts, const Matice* rowRanges,
                       const Matice* start, long double x0, long double y0, long double f,
                       long double tolerance, std::int32_t maxIterations, MatPtr& refined,
                       long double& iterations, MatPtr& sigma0) {
    iterations = 0.0L;
    if (!control || !rowCounts || !rowRanges || !start) return false;
    const int n = rowCounts->r;
    sigma0 = NewMatrix(static_cast<std::uint16_t>(n), 1);
    MatPtr current = MatCopy(*start);
    std::int32_t counter = 0;
    const bool ok = GuardedComputation([&] {
        if (start->r < n || start->s < 12 || rowRanges->r < n || rowRanges->s < 1) return false;
        long double change = 100.0L;
        while (maxIterations > 0 && change > tolerance && counter < maxIterations) {
            ++counter;
            MatPtr previous = MatCopy(*sigma0);
            MatPtr next = NewMatrix(static_cast<std::uint16_t>(n), 12);
            long double sum = 0.0L;
            for (int i = 1; i <= n; ++i) {
                const long double countValue = rowCounts->GetPrvek(i, 1);
                const long double firstValue = rowRanges->GetPrvek(i, 1);
                if (!std::isfinite(countValue) || !std::isfinite(firstValue)) return false;
                const std::int32_t count = RoundId(countValue);
                const std::int32_t first = RoundId(firstValue);
                if (count < 0 || first < 1 || !FitsMatrixSize(2LL * count)) return false;
                long double m0 = 0.0L;
                if (!RefineImage(*control, first, count, *current, i, x0, y0, f, *next, m0))
                    return false;
                sigma0->SetPrvek(i, 1, m0);
                // An image whose fit became exact (m0 = 0) cannot improve:
                // no change, rather than a division by zero.
                if (m0 != 0.0L) sum += (previous->GetPrvek(i, 1) - m0) / m0 * 100.0L;
            }
            current = std::move(next);
            // Signed changes are summed first: opposite changes cancel.
            change = std::fabs(sum);
        }
        return true;
    });
    refined = std::move(current);
    iterations = static_cast<long double>(counter);
    return ok;
}

}  // namespace pelvanor
