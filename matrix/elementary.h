#pragma once
// The elementary functions of the program, the same to the last bit on every
// processor.
//
// The C library computes the extended sin, cos, atan2, exp, log and pow with
// the x87 instructions fsin, fcos, fpatan, f2xm1 and fyl2x, whose last bit
// differs between processor makers; an ill-conditioned adjustment amplifies
// such a bit into a different camera constant.  These functions are built
// from the basic operations + - * / of the extended format alone, which
// IEEE 754 rounds correctly on every processor, so their results are
// identical everywhere.
//
// Each value is computed as an unevaluated sum hi + lo of two extended
// numbers (about 125 bits: error-free sums and Dekker products) and rounded
// once, so the result is the correctly rounded value of the exact function
// except where the exact value lies within about 2^-120 relative of a
// rounding boundary (never met in the table of tests/matrix; subnormal
// results of Exp and Pow may be rounded twice).  The test compares them
// with values computed to 400 bits (tools/elementary/make_tables.py).
//
// Exceptional arguments behave as the C library's functions and raise the
// same fault flags, which the guarded computations turn into errors:
// Sin and Cos of an infinity, Log of a negative number and Pow of a negative
// base with a non-integral exponent raise "invalid"; Log(0) and Pow(0, y < 0)
// "division by zero"; a result beyond the largest extended number
// "overflow".  A NaN argument gives a NaN without a flag.

namespace pelvanor {

// Sine and cosine of x in radians; every finite x is reduced exactly by the
// bits of 2/pi (Payne and Hanek), so also huge arguments are accurate.
long double Sin(long double x);
long double Cos(long double x);
// Both at once (half the work of the two calls, the same results).
void SinCos(long double x, long double& sine, long double& cosine);

// The angle of the point (x, y) from the positive x axis in (-pi, pi], with
// the signed zeros and infinities of C's atan2.
long double Atan2(long double y, long double x);

// e^x.
long double Exp(long double x);
// Natural logarithm.
long double Log(long double x);
// x^y with the special cases of C's pow (pow(x, 0) = 1, pow(1, y) = 1, a
// negative x only with an integral y).
long double Pow(long double x, long double y);
// ln Gamma(x) for x > 0 (the only arguments the program has: half the
// degrees of freedom of an F distribution); +0 at 1 and 2.  Away from those
// two zeros correctly rounded as above; near them accurate to about 1e-34
// absolute.  x <= 0 raises "invalid" and gives a NaN.
long double LogGamma(long double x);

}  // namespace pelvanor
