#include "orientation/distortion.h"

#include <cmath>

#include "matrix/fp_guard.h"

namespace pelvanor {

namespace {

struct Distortion {
    long double x0, y0, k1, k2, k3, p1, p2;

    // corrected_from_raw for one measured point.
    void Correct(long double x, long double y, long double& xc, long double& yc) const {
        const long double xb = x - x0;
        const long double yb = y - y0;
        const long double r = std::sqrt(xb * xb + yb * yb);
        const long double r2 = r * r;
        const long double dr = k1 * r2 + k2 * r2 * r2 + k3 * r2 * r2 * r2;
        const long double dx = xb * dr + p1 * (r2 + 2.0L * xb * xb) + 2.0L * p1 * xb * yb;
        const long double dy = yb * dr + p2 * (r2 + 2.0L * yb * yb) + 2.0L * p2 * xb * yb;
        xc = x + dx;
        yc = -(y + dy);
    }
};

// Copies columns 1..copyCols of every row and replaces the image coordinates
// read from columns xCol, xCol+1 by their corrected values in columns
// outCol, outCol+1 of a result of resultCols columns.
bool CorrectTable(const Matice* table, MatPtr& result, std::uint16_t resultCols, int copyCols,
                  int xCol, int outCol, const Distortion& d) {
    return GuardedComputation([&] {
        if (!table || table->s < xCol + 1) return false;
        result = NewMatrix(table->r, resultCols);
        for (int i = 1; i <= table->r; ++i) {
            for (int j = 1; j <= copyCols; ++j) result->SetPrvek(i, j, table->GetPrvek(i, j));
            long double xc = 0.0L, yc = 0.0L;
            d.Correct(table->GetPrvek(i, xCol), table->GetPrvek(i, xCol + 1), xc, yc);
            result->SetPrvek(i, outCol, xc);
            result->SetPrvek(i, outCol + 1, yc);
        }
        return true;
    });
}

}  // namespace

bool CorrectImagePoints(const Matice* table, MatPtr& result, long double x0, long double y0,
                        long double /*f*/, long double k1, long double k2, long double k3,
                        long double p1, long double p2) {
    // The fourth column of the measurement is dropped: one column fewer.
    if (!table || table->s < 4) return false;
    const auto cols = static_cast<std::uint16_t>(table->s - 1);
    return CorrectTable(table, result, cols, 1, 2, 2, Distortion{x0, y0, k1, k2, k3, p1, p2});
}

bool CorrectControlPoints(const Matice* table, MatPtr& result, long double x0, long double y0,
                          long double /*f*/, long double k1, long double k2, long double k3,
                          long double p1, long double p2) {
    if (!table || table->s < 6) return false;
    return CorrectTable(table, result, table->s, 4, 5, 5, Distortion{x0, y0, k1, k2, k3, p1, p2});
}

}  // namespace pelvanor
