#pragma once
// Floating-point faults as errors.
//
// In this program a division by zero, an invalid operation (sqrt or log of a
// negative number, acos beyond +-1, 0/0, inf-inf) and an overflow are errors,
// never infinities or NaNs that travel on into a protocol.  Underflow and
// inexact results are ordinary rounding.
//
// The pattern, used by every operation that returns bool:
//
//     bool SomeComputation(const Matice& in, MatPtr& out) {
//         return GuardedComputation([&] {
//             ... arithmetic, storing results into `out` ...
//             return true;
//         });
//     }
//
// GuardedComputation clears the fault flags, runs the body in a call that the
// optimiser cannot merge with the flag test (the body is invoked through a
// non-inlined function and a compiler barrier sits before the test), then
// reports false when the body returned false, threw (the SVD's
// non-convergence, std::bad_alloc, a file error) or raised a fault flag.  The
// caller's own flags are saved and restored, so a nested guarded computation
// that fails and is handled by its caller does not poison the caller's
// result, and a fault the caller raised before the call is not lost.
//
// The pure arithmetic (MatMul, MatAdd, ...) does not guard itself: it passes
// the flags on to the guarded computation that called it.
//
// Where a faulting value might be computed and then never used (g++ may drop
// such an operation), check the domain explicitly or pass the value through
// FpBarrier() before the end of the body.

#include <cfenv>
#include <exception>

namespace pelvanor {

inline constexpr int kFpFaults = FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW;

// Forces `x` into memory so that the operation that produced it is performed
// here and cannot be removed or moved past a flag test.
inline void FpBarrier(long double& x) { asm volatile("" : "+m"(x)); }
inline void FpBarrier(const long double& x) { asm volatile("" : : "m"(x)); }

// Saves the caller's fault flags, clears them, and restores them on exit.
class FpScope {
public:
    FpScope() noexcept {
        fegetexceptflag(&saved_, kFpFaults);
        feclearexcept(kFpFaults);
    }
    ~FpScope() { fesetexceptflag(&saved_, kFpFaults); }
    FpScope(const FpScope&) = delete;
    FpScope& operator=(const FpScope&) = delete;

    // True when a fault was raised since construction.
    bool Faulted() const noexcept {
        asm volatile("" ::: "memory");
        return fetestexcept(kFpFaults) != 0;
    }

private:
    fexcept_t saved_{};
};

namespace detail {
template <class Body>
[[gnu::noinline]] bool RunGuardedBody(Body& body) {
    const bool ok = body();
    asm volatile("" ::: "memory");
    return ok;
}
}  // namespace detail

// Runs `body` (returning bool) as one computation: false on a false body
// result, on any exception, or on a floating-point fault.
template <class Body>
bool GuardedComputation(Body&& body) noexcept {
    FpScope scope;
    bool ok = false;
    try {
        ok = detail::RunGuardedBody(body);
    } catch (...) {
        return false;
    }
    return ok && !scope.Faulted();
}

}  // namespace pelvanor
