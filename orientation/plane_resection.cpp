#include "orientation/plane_resection.h"

#include <cmath>

#include "matrix/arithmetic.h"
#include "matrix/fp_guard.h"
#include "matrix/least_squares.h"
#include "orientation/resection_loop.h"

namespace pelvanor {

bool PlaneResectionImage(const Matice& points, MatPtr& orientation, long double x0, long double y0,
                         long double f) {
    return GuardedComputation([&] {
        orientation = NewMatrix(1, 16);
        if (points.r < 4 || points.s < 6) return false;
        // Unknowns q1 .. q9, lambda2, lambda3, lambda4.  With a = (q1, q3, q5),
        // b = (q2, q4, q6), t = (q7, q8, q9) the rows of point k state
        //   Xk a + Yk b - t = lambda_k (xk - x0, yk + y0, -f),  lambda_1 = 1,
        // the image vector of the collinearity model being proportional to
        // the plane point carried through R^T and shifted by R^T C.
        MatPtr A = NewMatrix(12, 12);
        MatPtr l = NewMatrix(12, 1);
        for (int k = 1; k <= 4; ++k) {
            const long double X = points.GetPrvek(k, 2);
            const long double Y = points.GetPrvek(k, 3);
            const long double x = points.GetPrvek(k, 5);
            const long double y = points.GetPrvek(k, 6);
            const int r = 3 * k - 2;
            A->SetPrvek(r, 1, X);
            A->SetPrvek(r, 2, Y);
            A->SetPrvek(r, 7, -1.0L);
            A->SetPrvek(r + 1, 3, X);
            A->SetPrvek(r + 1, 4, Y);
            A->SetPrvek(r + 1, 8, -1.0L);
            A->SetPrvek(r + 2, 5, X);
            A->SetPrvek(r + 2, 6, Y);
            A->SetPrvek(r + 2, 9, -1.0L);
            if (k == 1) {
                l->SetPrvek(1, 1, x - x0);
                l->SetPrvek(2, 1, y + y0);
                l->SetPrvek(3, 1, -f);
            } else {
                A->SetPrvek(r, 8 + k, -(x - x0));
                A->SetPrvek(r + 1, 8 + k, -(y + y0));
                A->SetPrvek(r + 2, 8 + k, f);
            }
        }
        MatPtr q;
        if (!SolveNormal(*A, *l, q)) return false;

        long double a[3] = {q->GetPrvek(1, 1), q->GetPrvek(3, 1), q->GetPrvek(5, 1)};
        long double b[3] = {q->GetPrvek(2, 1), q->GetPrvek(4, 1), q->GetPrvek(6, 1)};
        const long double t[3] = {q->GetPrvek(7, 1), q->GetPrvek(8, 1), q->GetPrvek(9, 1)};
        const long double na = std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
        const long double nb = std::sqrt(b[0] * b[0] + b[1] * b[1] + b[2] * b[2]);
        for (int j = 0; j < 3; ++j) {
            a[j] /= na;
            b[j] /= nb;
        }
        // Rows 1 and 2 of the rotation have unit length; row 3 is their cross
        // product.  No further orthogonalisation: the refinement follows.
        const long double c[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2],
                                  a[0] * b[1] - a[1] * b[0]};
        const long double s = (na + nb) / 2.0L;
        const long double X0 = (a[0] * t[0] + a[1] * t[1] + a[2] * t[2]) / s;
        const long double Y0 = (b[0] * t[0] + b[1] * t[1] + b[2] * t[2]) / s;
        const long double Z0 = (c[0] * t[0] + c[1] * t[1] + c[2] * t[2]) / s;

        Matice& o = *orientation;
        for (int j = 0; j < 3; ++j) {
            o.SetPrvek(1, 1 + j, a[j]);
            o.SetPrvek(1, 4 + j, b[j]);
            o.SetPrvek(1, 7 + j, c[j]);
        }
        o.SetPrvek(1, 10, X0);
        o.SetPrvek(1, 11, Y0);
        o.SetPrvek(1, 12, Z0);
        o.SetPrvek(1, 13, 1.0L);
        o.SetPrvek(1, 14, q->GetPrvek(10, 1));
        o.SetPrvek(1, 15, q->GetPrvek(11, 1));
        o.SetPrvek(1, 16, q->GetPrvek(12, 1));
        return true;
    });
}

bool PlaneResection(const Matice* selected, const Matice* rowCounts, MatPtr& orientations,
                    long double x0, long double y0, long double f) {
    return GuardedComputation([&] {
        if (!selected || !rowCounts) return false;
        return detail::ResectEveryImage(*selected, *rowCounts, orientations, [&](Matice& points, MatPtr& row) {
            // The four points are taken to lie in Z = 0 whatever the file says.
            for (int k = 1; k <= 4; ++k) points.SetPrvek(k, 4, 0.0L);
            return PlaneResectionImage(points, row, x0, y0, f);
        });
    });
}

}  // namespace pelvanor
