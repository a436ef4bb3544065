#pragma once
// The camera model: rotation R = R1(alfa) R2(beta) R3(gama) stored as a 1 x 9
// row (r11 .. r33), and the linearised collinearity equations of one measured
// point.  Computed image coordinates: xc = x0 - f U/W, yc = -y0 - f V/W with
// (U, V, W) = R^T (P - C); misclosures are computed minus measured.

#include "matrix/matice.h"

namespace pelvanor {

bool RotationMatrix(MatPtr& R, long double alfa, long double beta, long double gama);

struct Angles {
    long double alfa = 0.0L;
    long double beta = 0.0L;
    long double gama = 0.0L;
};
// gama = atan2(-r12, r11), alfa = atan2(-r23, r33), beta = atan2(r13, r11 / cos gama).
// Faults (cos gama = 0) pass to the calling computation.
Angles AnglesFromRotation(long double r11, long double r12, long double r13, long double r21,
                          long double r22, long double r23, long double r31, long double r32,
                          long double r33);

// point: 1 x 5 (X, Y, Z, x, y).  design: 2 x n, misclosure: 2 x 1.
// Columns: Rows6 X0 Y0 Z0 alfa beta gama; Rows9 X Y Z X0 Y0 Z0 alfa beta gama;
// Rows10 as Rows9 and f; Rows3 X Y Z.
#define PELVANOR_COLLINEARITY_PARAMS                                                         \
    const Matice &point, MatPtr &design, MatPtr &misclosure, long double r11, long double r12, \
        long double r13, long double r21, long double r22, long double r23, long double r31,  \
        long double r32, long double r33, long double X0, long double Y0, long double Z0,     \
        long double x0, long double y0, long double f
bool CollinearityRows6(PELVANOR_COLLINEARITY_PARAMS);
bool CollinearityRows9(PELVANOR_COLLINEARITY_PARAMS);
bool CollinearityRows10(PELVANOR_COLLINEARITY_PARAMS);
bool CollinearityRows3(PELVANOR_COLLINEARITY_PARAMS);
#undef PELVANOR_COLLINEARITY_PARAMS

}  // namespace pelvanor
