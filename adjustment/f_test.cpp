#include "adjustment/f_test.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <map>
#include <utility>

#include "matrix/elementary.h"
#include "matrix/fp_guard.h"

namespace pelvanor {

namespace {

// c1 .. c26 of 1/Gamma(z) = sum ck z^k, Abramowitz and Stegun 6.1.34.
constexpr long double kReciprocalGammaSeries[26] = {
    1.0000000000000000L,  0.5772156649015329L,  -0.6558780715202538L, -0.0420026350340952L,
    0.1665386113822915L,  -0.0421977345555443L, -0.0096219715278770L, 0.0072189432466630L,
    -0.0011651675918591L, -0.0002152416741149L, 0.0001280502823882L,  -0.0000201348547807L,
    -0.0000012504934821L, 0.0000011330272320L,  -0.0000002056338417L, 0.0000000061160950L,
    0.0000000050020075L,  -0.0000000011812746L, 0.0000000001043427L,  0.0000000000077823L,
    -0.0000000000036968L, 0.0000000000005100L,  -0.0000000000000206L, -0.0000000000000054L,
    0.0000000000000014L,  0.0000000000000001L};

// base^exponent: an integral exponent by repeated multiplication (then the
// reciprocal for a negative one), otherwise 0 for a zero base and
// exp(exponent ln base) for any other.
long double GeneralPower(long double base, long double exponent) {
    if (exponent == std::trunc(exponent)) {
        const long double count = std::fabs(exponent);
        long double result = 1.0L;
        if (base == 1.0L || base == 0.0L) {
            // Repeated multiplication would give exactly this.
            result = (base == 0.0L && count > 0.0L) ? 0.0L : 1.0L;
        } else {
            for (long double i = 0.0L; i < count; i += 1.0L) {
                result *= base;
                // 0 and infinity stay what they are (the overflow is
                // already flagged); stop there.
                if (result == 0.0L || std::isinf(result)) break;
            }
        }
        if (exponent < 0.0L) result = 1.0L / result;
        return result;
    }
    if (base == 0.0L) return 0.0L;
    return Exp(exponent * Log(base));
}

// The part of the density that does not depend on x:
// Gamma((d1+d2)/2) / (Gamma(d1/2) Gamma(d2/2)) * (d1/d2)^(d1/2).
// The density multiplies it from the left, so evaluating it once for many x
// gives the same numbers as evaluating the whole product every time.
long double DensityFactor(long double d1, long double d2) {
    const long double g = Gamma((d1 + d2) / 2.0L) / (Gamma(d1 / 2.0L) * Gamma(d2 / 2.0L));
    return g * GeneralPower(d1 / d2, d1 / 2.0L);
}

long double DensityAt(long double factor, long double d1, long double d2, long double x) {
    long double v = factor * GeneralPower(x, d1 / 2.0L - 1.0L) *
                    GeneralPower(1.0L + (d1 / d2) * x, -(d1 + d2) / 2.0L);
    FpBarrier(v);
    return v;
}

// Continued fraction of the incomplete beta function (modified Lentz), valid
// for x < (a + 1) / (a + b + 2); Numerical Recipes 6.4, with the even and
// odd steps of DLMF 8.17.22.
long double BetaContinuedFraction(long double a, long double b, long double x, bool& converged) {
    constexpr long double kTiny = LDBL_MIN / LDBL_EPSILON;
    constexpr long double kEps = 4.0L * LDBL_EPSILON;
    const long double qab = a + b, qap = a + 1.0L, qam = a - 1.0L;
    long double c = 1.0L;
    long double d = 1.0L - qab * x / qap;
    if (std::fabs(d) < kTiny) d = kTiny;
    d = 1.0L / d;
    long double h = d;
    converged = false;
    for (long m = 1; m <= 2000000; ++m) {
        const long double mm = static_cast<long double>(m), m2 = 2.0L * mm;
        long double aa = mm * (b - mm) * x / ((qam + m2) * (a + m2));
        d = 1.0L + aa * d;
        if (std::fabs(d) < kTiny) d = kTiny;
        c = 1.0L + aa / c;
        if (std::fabs(c) < kTiny) c = kTiny;
        d = 1.0L / d;
        h *= d * c;
        aa = -(a + mm) * (qab + mm) * x / ((a + m2) * (qap + m2));
        d = 1.0L + aa * d;
        if (std::fabs(d) < kTiny) d = kTiny;
        c = 1.0L + aa / c;
        if (std::fabs(c) < kTiny) c = kTiny;
        d = 1.0L / d;
        const long double del = d * c;
        h *= del;
        if (std::fabs(del - 1.0L) <= kEps) {
            converged = true;
            break;
        }
    }
    return h;
}

// Regularised incomplete beta I_x(a, b) with x and y = 1 - x given
// separately (y is often known more accurately than 1 - x).
bool RegularisedBeta(long double a, long double b, long double x, long double y,
                     long double& value) {
    if (x <= 0.0L) {
        value = 0.0L;
        return true;
    }
    if (y <= 0.0L) {
        value = 1.0L;
        return true;
    }
    // ln of x^a y^b / B(a, b), in log space so that nothing overflows.
    const long double log_front =
        LogGamma(a + b) - LogGamma(a) - LogGamma(b) + a * Log(x) + b * Log(y);
    bool converged = false;
    if (x < (a + 1.0L) / (a + b + 2.0L)) {
        const long double cf = BetaContinuedFraction(a, b, x, converged);
        value = Exp(log_front) * cf / a;
    } else {
        const long double cf = BetaContinuedFraction(b, a, y, converged);
        value = 1.0L - Exp(log_front) * cf / b;
    }
    return converged;
}

}  // namespace

long double ReciprocalGamma(long double x) {
    long double z = x - std::trunc(x);
    if (z == 0.0L) z = x > 0.0L ? 1.0L : (x < 0.0L ? -1.0L : 0.0L);
    long double s = 0.0L, w = 1.0L;
    for (long double c : kReciprocalGammaSeries) {
        w = w * z;
        s = c * w + s;
    }
    if (x > 0.0L) {
        while (x > z) {
            s = s / z;
            z = z + 1.0L;
            if (s == 0.0L) break;  // underflowed: every further step leaves 0
        }
    } else if (x < 0.0L) {
        while (x < z) {
            z = z - 1.0L;
            s = s * z;
            if (s == 0.0L || std::isinf(s)) break;  // overflow is already flagged
        }
    }
    return s;
}

long double Gamma(long double x) {
    const long double r = ReciprocalGamma(x);
    if (std::fabs(r) < 1e-4000L) throw MathError("Not Defined for given Value");
    return 1.0L / r;
}

bool FDensity(long double& value, long double d1, long double d2, long double x) {
    long double result = 0.0L;
    const bool ok = GuardedComputation([&] {
        result = DensityAt(DensityFactor(d1, d2), d1, d2, x);
        return std::isfinite(result);
    });
    if (ok) value = result;
    return ok;
}

bool FDistribution(int n, long double& value, long double d1, long double d2, long double lower,
                   long double upper) {
    long double result = 0.0L;
    const bool ok = GuardedComputation([&] {
        const long double h = (upper - lower) / static_cast<long double>(n);
        FpBarrier(h);
        const long long k = std::llrint(static_cast<long double>(n) / 2.0L);
        const long double factor = DensityFactor(d1, d2);
        auto f = [&](long double x) {
            const long double v = DensityAt(factor, d1, d2, x);
            if (!std::isfinite(v)) throw MathError("density not finite");
            return v;
        };
        const long double f0 = f(lower), fn = f(upper);
        long double s4 = 0.0L;
        for (long long i = 1; i <= k; ++i)
            s4 = s4 + 4.0L * f(lower + static_cast<long double>(2 * i - 1) * h);
        long double s2 = 0.0L;
        for (long long j = 1; j <= k - 1; ++j)
            s2 = s2 + 2.0L * f(lower + static_cast<long double>(2 * j) * h);
        result = h / 3.0L * (f0 + fn + (s4 + s2));
        FpBarrier(result);
        return true;
    });
    if (ok) value = result;
    return ok;
}

bool FQuantileSimpson(long double& value, long double d1, long double d2, long double percent) {
    long double result = 0.0L;
    const bool ok = GuardedComputation([&] {
        const long double p = 1.0L - percent / 100.0L;
        long double lo = 0.0L, hi = 100.0L, mid = 50.0L;
        for (int step = 0; step < 30; ++step) {
            long double fm = 0.0L, fh = 0.0L;
            // A failed integral has no value to compare: the search ends.
            if (!FDistribution(100, fm, d1, d2, 0.0L, mid)) return false;
            if (!FDistribution(100, fh, d1, d2, 0.0L, hi)) return false;
            if (fm >= p || fh <= p)
                hi = mid;
            else
                lo = mid;
            mid = (lo + hi) / 2.0L;
        }
        result = mid;
        return true;
    });
    if (ok) value = result;
    return ok;
}

bool FDistributionAccurate(long double& value, long double d1, long double d2, long double x) {
    if (!(d1 > 0.0L) || !(d2 > 0.0L) || std::isnan(x)) return false;
    long double result = 0.0L;
    const bool ok = GuardedComputation([&] {
        if (x <= 0.0L) {
            result = 0.0L;
            return true;
        }
        if (std::isinf(x)) {
            result = 1.0L;
            return true;
        }
        // F(x) = I_t(d1/2, d2/2), t = d1 x / (d1 x + d2), 1 - t = d2 / (d1 x + d2).
        const long double denom = d1 * x + d2;
        return RegularisedBeta(d1 / 2.0L, d2 / 2.0L, d1 * x / denom, d2 / denom, result);
    });
    if (ok) value = result;
    return ok;
}

bool FQuantileAccurate(long double& value, long double d1, long double d2, long double percent) {
    if (!(d1 > 0.0L) || !(d2 > 0.0L) || !(percent > 0.0L) || !(percent < 100.0L)) return false;
    const long double p = 1.0L - percent / 100.0L;
    long double lo = 0.0L, hi = 1.0L, f = 0.0L;
    // Bracket: double the upper end until the probability is reached.
    for (;;) {
        if (!FDistributionAccurate(f, d1, d2, hi)) return false;
        if (f >= p) break;
        lo = hi;
        hi *= 2.0L;
        if (hi > 1e300L) return false;
    }
    // Bisection to a relative width of a few units of 1e-16.
    for (int it = 0; it < 400 && hi - lo > 1e-16L * hi; ++it) {
        const long double mid = lo + (hi - lo) / 2.0L;
        if (!FDistributionAccurate(f, d1, d2, mid)) return false;
        if (f >= p)
            hi = mid;
        else
            lo = mid;
    }
    value = lo + (hi - lo) / 2.0L;
    return true;
}

bool FQuantile(long double& value, long double d1, long double d2, long double percent) {
    long double plain = 0.0L;
    const bool plain_ok = FQuantileSimpson(plain, d1, d2, percent);
    if (!(percent > 0.0L && percent < 100.0L)) {
        // No quantile exists to check against (probability 1 or 0).
        if (plain_ok) value = plain;
        return plain_ok;
    }
    const long double p = 1.0L - percent / 100.0L;
    long double f = 0.0L;
    if (plain_ok && FDistributionAccurate(f, d1, d2, plain) && std::fabs(f - p) <= 0.01L) {
        value = plain;
        return true;
    }
    long double accurate = 0.0L;
    if (!FQuantileAccurate(accurate, d1, d2, percent)) return false;
    value = accurate;
    return true;
}

bool FTest(const Matice* objectPoints, const Matice* countsTable, MatPtr& passed,
           long double percent, long double referenceM0, MatPtr& results) {
    if (objectPoints == nullptr || countsTable == nullptr) return false;
    return GuardedComputation([&] {
        const Matice& pts = *objectPoints;
        const Matice& counts = *countsTable;
        const int P = counts.r;
        if (counts.s < 2 || pts.s < 5 || pts.r < P) return false;

        long double sum_sq = 0.0L;  // sum of all m0^2
        long long N = 0;
        for (int j = 1; j <= P; ++j) {
            const long double m0 = pts.GetPrvek(j, 5);
            sum_sq = sum_sq + m0 * m0;
            N += std::llrint(counts.GetPrvek(j, 2));
        }

        results = NewMatrix(static_cast<std::uint16_t>(P), 2);
        passed = NewMatrix(pts.r, pts.s);
        int next = 0;  // rows of `passed` filled
        std::map<std::pair<long long, long long>, long double> quantiles;

        for (int k = 1; k <= P; ++k) {
            const long long c = std::llrint(counts.GetPrvek(k, 2));
            if (c < 2) continue;
            const long double m0 = pts.GetPrvek(k, 5);
            long double criterion = 0.0L, critical = 0.0L;
            bool may_pass = true;
            if (c == 2) {
                criterion = m0 / referenceM0;
                critical = 2.5L;
            } else {
                const long long d1 = 2 * c - 3;
                const long long d2 = 2 * N - 2 * c - 3 * static_cast<long long>(P - 1);
                const long double others = (sum_sq - m0 * m0) / static_cast<long double>(P - 1);
                criterion = m0 / std::sqrt(others);
                if (d2 <= 0) {
                    // No F distribution with these degrees of freedom: the
                    // point cannot be shown consistent, it fails.
                    may_pass = false;
                } else {
                    const auto key = std::make_pair(d1, d2);
                    const auto found = quantiles.find(key);
                    if (found != quantiles.end()) {
                        critical = found->second;
                    } else {
                        if (!FQuantile(critical, static_cast<long double>(d1),
                                       static_cast<long double>(d2), percent))
                            return false;
                        quantiles.emplace(key, critical);
                    }
                }
            }
            FpBarrier(criterion);
            results->SetPrvek(k, 1, criterion);
            results->SetPrvek(k, 2, critical);
            if (may_pass && criterion < critical) {
                ++next;
                for (int j = 1; j <= pts.s; ++j) passed->SetPrvek(next, j, pts.GetPrvek(k, j));
            }
        }

        // Keep the filled rows with a positive point number, as the tables
        // of points are compacted everywhere; none passing leaves the 1 x 1
        // zero table, which is a result and not a failure.
        int kept = 0;
        for (int i = 1; i <= next; ++i)
            if (std::llrint(passed->GetPrvek(i, 1)) > 0) ++kept;
        MatPtr compact =
            kept > 0 ? NewMatrix(static_cast<std::uint16_t>(kept), pts.s) : NewMatrix(1, 1);
        int row = 0;
        for (int i = 1; i <= next; ++i) {
            if (std::llrint(passed->GetPrvek(i, 1)) <= 0) continue;
            ++row;
            for (int j = 1; j <= pts.s; ++j) compact->SetPrvek(row, j, passed->GetPrvek(i, j));
        }
        passed = std::move(compact);
        return true;
    });
}

}  // namespace pelvanor
