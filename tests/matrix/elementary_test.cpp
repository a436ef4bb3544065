#include "matrix/elementary.h"

#include <cfenv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "matrix/fp_guard.h"

namespace pelvanor {
namespace {

enum class ElementaryFunction { Sin, Cos, Atan2, Exp, Log, Pow, Lgamma };

struct Value {
    ElementaryFunction function;
    long double x;
    long double y;  // atan2: x is y and y is x, as the call reads; pow: the exponent
    long double expected;
};

// The correctly rounded values, made by tools/elementary/make_tables.py.
constexpr Value kValues[] = {
#include "elementary_values.inc"
};

long double Evaluate(const Value& v) {
    switch (v.function) {
        case ElementaryFunction::Sin: return Sin(v.x);
        case ElementaryFunction::Cos: return Cos(v.x);
        case ElementaryFunction::Atan2: return Atan2(v.x, v.y);
        case ElementaryFunction::Exp: return Exp(v.x);
        case ElementaryFunction::Log: return Log(v.x);
        case ElementaryFunction::Pow: return Pow(v.x, v.y);
        case ElementaryFunction::Lgamma: return LogGamma(v.x);
    }
    return 0.0L;
}

const char* Name(ElementaryFunction f) {
    switch (f) {
        case ElementaryFunction::Sin: return "Sin";
        case ElementaryFunction::Cos: return "Cos";
        case ElementaryFunction::Atan2: return "Atan2";
        case ElementaryFunction::Exp: return "Exp";
        case ElementaryFunction::Log: return "Log";
        case ElementaryFunction::Pow: return "Pow";
        case ElementaryFunction::Lgamma: return "LogGamma";
    }
    return "?";
}

std::string Hex(long double v) {
    char text[64];
    std::snprintf(text, sizeof text, "%La", v);
    return text;
}

// Bit for bit: the same number (with its sign) or both NaN.
bool Same(long double a, long double b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    return a == b && std::signbit(a) == std::signbit(b);
}

TEST(Elementary, CorrectlyRoundedOnTheTable) {
    int wrong = 0;
    for (const Value& v : kValues) {
        std::feclearexcept(kFpFaults);
        const long double got = Evaluate(v);
        const int flags = std::fetestexcept(kFpFaults);
        if (!Same(got, v.expected) || flags != 0) {
            ++wrong;
            ADD_FAILURE() << Name(v.function) << "(" << Hex(v.x) << ", " << Hex(v.y) << ") = " << Hex(got)
                          << ", correctly rounded " << Hex(v.expected) << ", fault flags " << flags;
        }
    }
    EXPECT_EQ(wrong, 0) << "of " << std::size(kValues);
    EXPECT_GT(std::size(kValues), 1000u);
}

TEST(Elementary, ZerosSignsAndQuadrants) {
    const long double pi = Atan2(0.0L, -1.0L);
    const long double inf = std::numeric_limits<long double>::infinity();
    EXPECT_TRUE(Same(Sin(0.0L), 0.0L));
    EXPECT_TRUE(Same(Sin(-0.0L), -0.0L));
    EXPECT_TRUE(Same(Cos(-0.0L), 1.0L));
    EXPECT_TRUE(Same(Sin(0x1p-16445L), 0x1p-16445L));
    EXPECT_TRUE(Same(Atan2(0.0L, 1.0L), 0.0L));
    EXPECT_TRUE(Same(Atan2(-0.0L, 1.0L), -0.0L));
    EXPECT_TRUE(Same(Atan2(0.0L, -0.0L), pi));
    EXPECT_TRUE(Same(Atan2(-0.0L, -0.0L), -pi));
    EXPECT_TRUE(Same(Atan2(-0.0L, -1.0L), -pi));
    EXPECT_TRUE(Same(Atan2(0.0L, 0.0L), 0.0L));
    EXPECT_TRUE(Same(Atan2(1.0L, 0.0L), 2.0L * Atan2(1.0L, 1.0L)));
    EXPECT_TRUE(Same(Atan2(-1.0L, -0.0L), -2.0L * Atan2(1.0L, 1.0L)));
    EXPECT_TRUE(Same(Atan2(inf, inf), Atan2(1.0L, 1.0L)));
    EXPECT_TRUE(Same(Atan2(-inf, -inf), -Atan2(3.0L, -3.0L)));
    EXPECT_TRUE(Same(Atan2(1.0L, inf), 0.0L));
    EXPECT_TRUE(Same(Atan2(-1.0L, -inf), -pi));
    EXPECT_TRUE(Same(Exp(0.0L), 1.0L));
    EXPECT_TRUE(Same(Exp(-inf), 0.0L));
    EXPECT_TRUE(Same(Exp(-20000.0L), 0.0L));
    EXPECT_TRUE(Same(Log(1.0L), 0.0L));
    EXPECT_TRUE(Same(Log(inf), inf));
    EXPECT_TRUE(Same(Pow(0.0L, 4.4L), 0.0L));
    EXPECT_TRUE(Same(Pow(-2.0L, 3.0L), -8.0L));
    EXPECT_TRUE(Same(Pow(-0.0L, 3.0L), -0.0L));
    EXPECT_TRUE(Same(Pow(std::nanl(""), 0.0L), 1.0L));
    EXPECT_TRUE(Same(Pow(0.5L, inf), 0.0L));
    EXPECT_TRUE(Same(LogGamma(1.0L), 0.0L));
    EXPECT_TRUE(Same(LogGamma(2.0L), 0.0L));
    // sin and cos of one argument agree with SinCos.
    long double s = 0.0L, c = 0.0L;
    SinCos(2.5L, s, c);
    EXPECT_TRUE(Same(s, Sin(2.5L)));
    EXPECT_TRUE(Same(c, Cos(2.5L)));
}

// The fault flags the guarded computations turn into errors, raised where
// the C library raises them and nowhere else.
TEST(Elementary, FaultsAsTheLibraryRaisesThem) {
    const long double inf = std::numeric_limits<long double>::infinity();
    const auto flagsOf = [](auto call) {
        std::feclearexcept(FE_ALL_EXCEPT);
        long double v = call();
        FpBarrier(v);
        return std::fetestexcept(kFpFaults);
    };
    EXPECT_EQ(flagsOf([&] { return Sin(inf); }), FE_INVALID);
    EXPECT_EQ(flagsOf([&] { return Cos(-inf); }), FE_INVALID);
    EXPECT_EQ(flagsOf([] { return Log(-1.0L); }), FE_INVALID);
    EXPECT_EQ(flagsOf([] { return Log(0.0L); }), FE_DIVBYZERO);
    EXPECT_EQ(flagsOf([] { return Exp(12000.0L); }), FE_OVERFLOW);
    EXPECT_EQ(flagsOf([] { return Exp(11356.6L); }), FE_OVERFLOW);
    EXPECT_EQ(flagsOf([] { return Pow(1e2000L, 4.4L); }), FE_OVERFLOW);
    EXPECT_EQ(flagsOf([] { return Pow(-2.0L, 0.5L); }), FE_INVALID);
    EXPECT_EQ(flagsOf([] { return Pow(0.0L, -3.0L); }), FE_DIVBYZERO);
    EXPECT_EQ(flagsOf([] { return LogGamma(-1.0L); }), FE_INVALID);
    EXPECT_EQ(flagsOf([] { return Sin(std::nanl("")); }), 0);
    EXPECT_EQ(flagsOf([] { return Exp(-11400.0L); }), 0) << "underflow is rounding";
    EXPECT_EQ(flagsOf([] { return Pow(1e-300L, 4.4L); }), 0);
    EXPECT_EQ(flagsOf([] { return Sin(std::numeric_limits<long double>::max()); }), 0);
    EXPECT_EQ(flagsOf([] { return Atan2(1e-4000L, 1e4000L); }), 0);
    EXPECT_TRUE(std::isinf(Exp(12000.0L)));
    EXPECT_TRUE(std::isnan(Log(-1.0L)));
    std::feclearexcept(FE_ALL_EXCEPT);
}

}  // namespace
}  // namespace pelvanor
