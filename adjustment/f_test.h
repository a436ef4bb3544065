#pragma once
// The F distribution and the F-test of the intersected points.
//
// The program evaluates the F distribution itself: 1/Gamma from its power
// series, the F density, its integral by the composite Simpson rule and the
// quantile by bisection of that integral.  That computation is kept wherever
// it is sound; where it breaks down (many degrees of freedom make Gamma
// overflow, a narrow density slips between Simpson's nodes, a quantile above
// the bisection's bracket) an accurate evaluation takes over: the
// regularised incomplete beta function by its continued fraction, with
// log-gamma so that no factor overflows.

#include <stdexcept>

#include "matrix/matice.h"

namespace pelvanor {

// Raised by Gamma at its poles.
class MathError : public std::domain_error {
public:
    using std::domain_error::domain_error;
};

// 1/Gamma(x) from the 26-term power series of Abramowitz and Stegun 6.1.34,
// moved to x by the recurrence 1/Gamma(z+1) = (1/Gamma(z))/z (downwards
// for negative x).  0 at 0 and, to the accuracy of the series, at the
// negative integers; underflows to 0 for large x.
long double ReciprocalGamma(long double x);

// Gamma(x) = 1/ReciprocalGamma(x).  Throws MathError("Not Defined for given
// Value") when |1/Gamma(x)| < 1e-4000: at 0 and, for extended precision,
// from x of about 1460 on, where Gamma(x) would exceed 1e4000.
long double Gamma(long double x);

// Density of the F distribution with d1, d2 degrees of freedom at x, every
// power by the general power rule (integral exponents by repeated
// multiplication, 0 to a non-integral power is 0).  False on any error,
// `value` then unchanged.
bool FDensity(long double& value, long double d1, long double d2, long double x);

// Integral of the density over [lower, upper] by the composite Simpson rule
// with n subintervals.  False, `value` unchanged, when a density value could
// not be computed: the integral of values never computed is no result.
bool FDistribution(int n, long double& value, long double d1, long double d2, long double lower,
                   long double upper);

// The quantile for a significance level in percent (the x with
// F(x) = 1 - percent/100) by 30 bisection steps on [0, 100], each step
// comparing the Simpson integrals (n = 100) up to the midpoint and up to the
// upper end with the probability.  This is the plain computation; it fails
// when a distribution value fails, and it cannot find a quantile above 100
// nor resolve a narrow density.  FQuantile checks it.
bool FQuantileSimpson(long double& value, long double d1, long double d2, long double percent);

// F distribution function I_{d1 x / (d1 x + d2)}(d1/2, d2/2), relative error
// near 1e-15 for the degrees of freedom of this program (up to 1e6).
// False for d1 <= 0 or d2 <= 0.
bool FDistributionAccurate(long double& value, long double d1, long double d2, long double x);

// The quantile of the accurate distribution function, relative error below
// 1e-12.  False for d1 <= 0, d2 <= 0 or percent outside (0, 100).
bool FQuantileAccurate(long double& value, long double d1, long double d2, long double percent);

// The quantile used by the F-test: FQuantileSimpson, checked against the
// accurate distribution function.  Its result stands when it succeeded and
// its probability is within 0.01 of 1 - percent/100; otherwise the accurate
// quantile replaces it.  For percent <= 0 or >= 100 no quantile exists and
// the plain result stands as it is.
bool FQuantile(long double& value, long double d1, long double d2, long double percent);

// The F-test of the intersected points.  objectPoints: rows (number, X, Y,
// Z, m0, Mx, My, Mz); countsTable: rows (number, images c), row k of both
// the same point.  results (P x 2): (criterion, critical value) per point,
// zero for c < 2.  A point on two images passes when m0/referenceM0 < 2.5;
// on c > 2 images when m0 divided by the quadratic mean of the other points'
// m0 is below the F quantile with d1 = 2c - 3 and d2 = the others'
// redundancy.  A point whose d2 is not positive (no quantile exists) fails
// with critical value 0.  passed: the passing rows of objectPoints in order,
// the 1 x 1 zero table when none passes (which is a result, not a failure).
bool FTest(const Matice* objectPoints, const Matice* countsTable, MatPtr& passed,
           long double percent, long double referenceM0, MatPtr& results);

}  // namespace pelvanor
