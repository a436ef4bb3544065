#include "matrix/fp_guard.h"

#include <cfenv>
#include <cmath>
#include <limits>
#include <new>
#include <stdexcept>

#include <gtest/gtest.h>

#include "matrix/svd.h"

namespace pelvanor {
namespace {

// Operands hidden from the optimiser, so that no fault is folded away at
// compile time.
long double Opaque(long double x) {
    FpBarrier(x);
    return x;
}

TEST(FpGuard, FaultsTurnIntoFalse) {
    EXPECT_FALSE(GuardedComputation([] {
        long double q = Opaque(1.0L) / Opaque(0.0L);
        FpBarrier(q);
        return true;
    })) << "division by zero";
    EXPECT_FALSE(GuardedComputation([] {
        long double r = std::sqrt(Opaque(-1.0L));
        FpBarrier(r);
        return true;
    })) << "square root of -1";
    EXPECT_FALSE(GuardedComputation([] {
        long double big = Opaque(std::numeric_limits<long double>::max());
        long double p = big * Opaque(2.0L);
        FpBarrier(p);
        return true;
    })) << "overflow";
    EXPECT_FALSE(GuardedComputation([] {
        long double z = Opaque(0.0L) / Opaque(0.0L);
        FpBarrier(z);
        return true;
    })) << "0/0";
    // The faults do not reach the caller's flags.
    EXPECT_EQ(std::fetestexcept(kFpFaults), 0);
}

TEST(FpGuard, UnderflowAndInexactAreRounding) {
    EXPECT_TRUE(GuardedComputation([] {
        long double tiny = Opaque(std::numeric_limits<long double>::min());
        long double u = tiny * Opaque(1e-10L);
        FpBarrier(u);
        long double third = Opaque(1.0L) / Opaque(3.0L);
        FpBarrier(third);
        return true;
    }));
}

TEST(FpGuard, BodyResultAndExceptions) {
    EXPECT_TRUE(GuardedComputation([] { return true; }));
    EXPECT_FALSE(GuardedComputation([] { return false; }));
    // The exception is told by its type, whatever its text says.
    EXPECT_FALSE(GuardedComputation([]() -> bool { throw SvdError("no convergence"); }));
    EXPECT_EQ(LastGuardFailure().thrown, GuardFailure::Thrown::SvdNoConvergence);
    EXPECT_FALSE(GuardedComputation([]() -> bool { throw std::bad_alloc(); }));
    EXPECT_EQ(LastGuardFailure().thrown, GuardFailure::Thrown::Allocation);
    EXPECT_FALSE(GuardedComputation([]() -> bool { throw std::runtime_error("SVDCMP"); }));
    EXPECT_EQ(LastGuardFailure().thrown, GuardFailure::Thrown::Other);
    EXPECT_FALSE(GuardedComputation([] { return false; }));
    EXPECT_EQ(LastGuardFailure().thrown, GuardFailure::Thrown::None);
}

TEST(FpGuard, NestedGuardsRestoreTheOuterFlags) {
    // A failing inner computation handled by its caller does not poison the
    // outer one.
    bool inner = true;
    EXPECT_TRUE(GuardedComputation([&] {
        inner = GuardedComputation([] {
            long double q = Opaque(1.0L) / Opaque(0.0L);
            FpBarrier(q);
            return true;
        });
        return true;
    }));
    EXPECT_FALSE(inner);

    // A fault the outer computation raised before the inner call survives a
    // successful inner computation.
    EXPECT_FALSE(GuardedComputation([&] {
        long double r = std::sqrt(Opaque(-1.0L));
        FpBarrier(r);
        inner = GuardedComputation([] { return true; });
        return true;
    }));
    EXPECT_TRUE(inner);

    // Flags the test itself holds before a guard are given back afterwards.
    std::feclearexcept(FE_ALL_EXCEPT);
    std::feraiseexcept(FE_OVERFLOW);
    EXPECT_TRUE(GuardedComputation([] { return true; }));
    EXPECT_NE(std::fetestexcept(FE_OVERFLOW), 0);
    std::feclearexcept(FE_ALL_EXCEPT);
}

// The caller still sees only a bool; the reason is kept for tests and logs,
// and a nested computation's precise reason survives its caller's false.
TEST(FpGuard, FailureReasonIsRecorded) {
    EXPECT_FALSE(GuardedComputation([] { return false; }));
    EXPECT_EQ(LastGuardFailure().kind, GuardFailure::Kind::BodyFalse);

    EXPECT_FALSE(GuardedComputation([] {
        long double q = Opaque(1.0L) / Opaque(0.0L);
        FpBarrier(q);
        return true;
    }));
    EXPECT_EQ(LastGuardFailure().kind, GuardFailure::Kind::Fault);
    EXPECT_EQ(LastGuardFailure().flags, FE_DIVBYZERO);
    EXPECT_EQ(DescribeGuardFailure(LastGuardFailure()), "floating-point fault: division by zero");

    EXPECT_FALSE(GuardedComputation([]() -> bool { throw std::bad_alloc(); }));
    EXPECT_EQ(LastGuardFailure().kind, GuardFailure::Kind::Exception);
    EXPECT_EQ(LastGuardFailure().exception, std::bad_alloc().what());

    EXPECT_FALSE(GuardedComputation([] {
        return GuardedComputation([] {
            long double r = std::sqrt(Opaque(-1.0L));
            FpBarrier(r);
            return true;
        });
    }));
    EXPECT_EQ(LastGuardFailure().kind, GuardFailure::Kind::Fault);
    EXPECT_EQ(LastGuardFailure().flags, FE_INVALID);
    std::feclearexcept(FE_ALL_EXCEPT);
}

}  // namespace
}  // namespace pelvanor
