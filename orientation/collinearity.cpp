#include "orientation/collinearity.h"

#include <cfenv>
#include <cmath>

#include "matrix/elementary.h"
#include "matrix/fp_guard.h"

namespace pelvanor {

bool RotationMatrix(MatPtr& R, long double alfa, long double beta, long double gama) {
    return GuardedComputation([&] {
        R = NewMatrix(1, 9);
        long double ca, sa, cb, sb, cg, sg;
        SinCos(alfa, sa, ca);
        SinCos(beta, sb, cb);
        SinCos(gama, sg, cg);
        // R = R1(alfa) R2(beta) R3(gama), stored row by row.
        R->SetPrvek(1, 1, cb * cg);
        R->SetPrvek(1, 2, -cb * sg);
        R->SetPrvek(1, 3, sb);
        R->SetPrvek(1, 4, ca * sg + sa * sb * cg);
        R->SetPrvek(1, 5, ca * cg - sa * sb * sg);
        R->SetPrvek(1, 6, -sa * cb);
        R->SetPrvek(1, 7, sa * sg - ca * sb * cg);
        R->SetPrvek(1, 8, sa * cg + ca * sb * sg);
        R->SetPrvek(1, 9, ca * cb);
        // sin and cos of an infinite angle raise "invalid" but return a NaN
        // without one for a NaN angle: refuse both explicitly.
        for (long double v : R->prvky)
            if (!std::isfinite(v)) return false;
        return true;
    });
}

Angles AnglesFromRotation(long double r11, long double r12, long double r13, long double /*r21*/,
                          long double /*r22*/, long double r23, long double /*r31*/,
                          long double /*r32*/, long double r33) {
    Angles a;
    a.gama = Atan2(-r12, r11);
    a.alfa = Atan2(-r23, r33);
    // r11 / cos gama = cos beta (with its sign); a division by a zero cosine
    // raises the fault flag for the calling computation.
    const long double cb = r11 / Cos(a.gama);
    FpBarrier(cb);
    a.beta = Atan2(r13, cb);
    return a;
}

namespace {

// The computed image coordinates of one point and their partial derivatives,
// all written from the same U, V, W.
struct Projection {
    long double xc = 0.0L, yc = 0.0L;
    // d/dX0, d/dY0, d/dZ0, d/dalfa, d/dbeta, d/dgama, d/df for x (row 0) and y (row 1).
    long double dX0[2]{}, dY0[2]{}, dZ0[2]{}, dAlfa[2]{}, dBeta[2]{}, dGama[2]{}, dF[2]{};
};

Projection Project(const Matice& point, long double r11, long double r12, long double r13,
                   long double r21, long double r22, long double r23, long double r31,
                   long double r32, long double r33, long double X0, long double Y0,
                   long double Z0, long double x0, long double y0, long double f) {
    Projection p;
    const long double dX = point.GetPrvek(1, 1) - X0;
    const long double dY = point.GetPrvek(1, 2) - Y0;
    const long double dZ = point.GetPrvek(1, 3) - Z0;
    // (U, V, W) = R^T (P - C): the point in the camera frame.
    const long double U = r11 * dX + r21 * dY + r31 * dZ;
    const long double V = r12 * dX + r22 * dY + r32 * dZ;
    const long double W = r13 * dX + r23 * dY + r33 * dZ;
    const long double uw = U / W;
    const long double vw = V / W;
    p.xc = x0 - f * uw;
    p.yc = -y0 - f * vw;

    const long double fw = f / W;
    const long double fw2 = f / (W * W);
    p.dX0[0] = -fw2 * (r13 * U - r11 * W);
    p.dX0[1] = -fw2 * (r13 * V - r12 * W);
    p.dY0[0] = -fw2 * (r23 * U - r21 * W);
    p.dY0[1] = -fw2 * (r23 * V - r22 * W);
    p.dZ0[0] = -fw2 * (r33 * U - r31 * W);
    p.dZ0[1] = -fw2 * (r33 * V - r32 * W);

    const long double wAlfa = r33 * dY - r23 * dZ;
    p.dAlfa[0] = -fw * (r21 * dZ - r31 * dY + wAlfa * uw);
    p.dAlfa[1] = -fw * (r22 * dZ - r32 * dY + wAlfa * vw);

    // The beta column needs gama, recovered from the passed elements.
    const long double gama = Atan2(-r12, r11);
    long double cg, sg;
    SinCos(gama, sg, cg);
    const long double wBeta = cg * U - sg * V;
    p.dBeta[0] = fw * (cg * W + wBeta * uw);
    p.dBeta[1] = fw * (wBeta * vw - sg * W);

    p.dGama[0] = -fw * V;
    p.dGama[1] = fw * U;
    p.dF[0] = -uw;
    p.dF[1] = -vw;
    return p;
}

enum class Member { Rows6, Rows9, Rows10, Rows3 };

bool Collinearity(Member member, const Matice& point, MatPtr& design, MatPtr& misclosure,
                  long double r11, long double r12, long double r13, long double r21,
                  long double r22, long double r23, long double r31, long double r32,
                  long double r33, long double X0, long double Y0, long double Z0, long double x0,
                  long double y0, long double f) {
    return GuardedComputation([&] {
        if (point.r < 1 || point.s < 5) return false;
        const std::uint16_t n = member == Member::Rows6    ? 6
                                : member == Member::Rows9  ? 9
                                : member == Member::Rows10 ? 10
                                                           : 3;
        design = NewMatrix(2, n);
        const Projection p =
            Project(point, r11, r12, r13, r21, r22, r23, r31, r32, r33, X0, Y0, Z0, x0, y0, f);
        for (int row = 0; row < 2; ++row) {
            long double values[10];
            int k = 0;
            if (member != Member::Rows6) {
                // The object point moves opposite to the projection centre.
                values[k++] = -p.dX0[row];
                values[k++] = -p.dY0[row];
                values[k++] = -p.dZ0[row];
            }
            if (member != Member::Rows3) {
                values[k++] = p.dX0[row];
                values[k++] = p.dY0[row];
                values[k++] = p.dZ0[row];
                values[k++] = p.dAlfa[row];
                values[k++] = p.dBeta[row];
                values[k++] = p.dGama[row];
            }
            if (member == Member::Rows10) values[k++] = p.dF[row];
            for (int j = 0; j < k; ++j) design->SetPrvek(row + 1, j + 1, values[j]);
        }
        // A fault in the design rows (W = 0) ends the computation before the
        // misclosure exists.
        if (FaultRaisedSinceGuard()) return false;
        misclosure = NewMatrix(2, 1);
        misclosure->SetPrvek(1, 1, p.xc - point.GetPrvek(1, 4));
        misclosure->SetPrvek(2, 1, p.yc - point.GetPrvek(1, 5));
        return true;
    });
}

}  // namespace

#define PELVANOR_COLLINEARITY_ARGS \
    point, design, misclosure, r11, r12, r13, r21, r22, r23, r31, r32, r33, X0, Y0, Z0, x0, y0, f
#define PELVANOR_COLLINEARITY_PARAMS                                                         \
    const Matice &point, MatPtr &design, MatPtr &misclosure, long double r11, long double r12, \
        long double r13, long double r21, long double r22, long double r23, long double r31,  \
        long double r32, long double r33, long double X0, long double Y0, long double Z0,     \
        long double x0, long double y0, long double f

bool CollinearityRows6(PELVANOR_COLLINEARITY_PARAMS) {
    return Collinearity(Member::Rows6, PELVANOR_COLLINEARITY_ARGS);
}
bool CollinearityRows9(PELVANOR_COLLINEARITY_PARAMS) {
    return Collinearity(Member::Rows9, PELVANOR_COLLINEARITY_ARGS);
}
bool CollinearityRows10(PELVANOR_COLLINEARITY_PARAMS) {
    return Collinearity(Member::Rows10, PELVANOR_COLLINEARITY_ARGS);
}
bool CollinearityRows3(PELVANOR_COLLINEARITY_PARAMS) {
    return Collinearity(Member::Rows3, PELVANOR_COLLINEARITY_ARGS);
}

#undef PELVANOR_COLLINEARITY_PARAMS
#undef PELVANOR_COLLINEARITY_ARGS

}  // namespace pelvanor
