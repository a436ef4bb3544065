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
#include <cstdint>
#include <exception>
#include <new>
#include <string>

namespace pelvanor {

inline constexpr int kFpFaults = FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW;

// True when a fault was raised since the enclosing guard (or FpScope)
// cleared the flags.  The barrier keeps the compiler from moving a
// floating-point operation of the code before it past the test.
inline bool FaultRaisedSinceGuard() noexcept {
    asm volatile("" ::: "memory");
    return std::fetestexcept(kFpFaults) != 0;
}

// Why the last guarded computation of this thread that failed did so.  The
// bool the caller receives stays the only result; this is for tests and for
// the debug log (set PELVANOR_DEBUG_FAILURES=1 to have every failure written
// to the standard error).
struct GuardFailure {
    enum class Kind { None, BodyFalse, Fault, Exception };
    // Exception: what was thrown, told by its type.
    enum class Thrown {
        None,              // no exception
        Allocation,        // std::bad_alloc
        SvdNoConvergence,  // SvdError: the SVD did not converge
        Cancelled,         // ComputationCancelled: the user stopped the computation
        Other,
    };
    Kind kind = Kind::None;
    int flags = 0;          // Fault: the fault flags raised (FE_* bits)
    Thrown thrown = Thrown::None;
    std::string exception;  // Exception: what() of the exception, or "unknown"
    std::uint64_t serial = 0;  // counts the failures recorded on this thread
};
const GuardFailure& LastGuardFailure() noexcept;
// A one-line English description of a failure, for logs.
std::string DescribeGuardFailure(const GuardFailure& failure);
namespace detail {
void RecordGuardFailure(GuardFailure::Kind kind, int flags, const char* what) noexcept;
// An exception caught by a guard (null: not a std::exception), recorded
// with its type.
void RecordGuardException(const std::exception* e) noexcept;
std::uint64_t GuardFailureSerial() noexcept;
void RecordAllocationFailure() noexcept;
}  // namespace detail

// How many allocations failed (std::bad_alloc) inside guarded computations
// of this thread since it started.  A command compares the count before and
// after its work: an allocation failure anywhere fails the whole command,
// also where the computation that met it is one whose failure the command
// would otherwise survive.
std::uint64_t AllocationFailureCount() noexcept;

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
    bool Faulted() const noexcept { return FaultRaisedSinceGuard(); }

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
//
// A failure is recorded for LastGuardFailure: the fault flags, the
// exception, or a false body result; a false body result that follows a
// failure recorded inside it (a nested computation) keeps that more precise
// record.
template <class Body>
bool GuardedComputation(Body&& body) noexcept {
    FpScope scope;
    const std::uint64_t before = detail::GuardFailureSerial();
    bool ok = false;
    try {
        ok = detail::RunGuardedBody(body);
    } catch (const std::bad_alloc& e) {
        detail::RecordAllocationFailure();
        detail::RecordGuardException(&e);
        return false;
    } catch (const std::exception& e) {
        detail::RecordGuardException(&e);
        return false;
    } catch (...) {
        detail::RecordGuardException(nullptr);
        return false;
    }
    if (scope.Faulted()) {
        detail::RecordGuardFailure(GuardFailure::Kind::Fault, std::fetestexcept(kFpFaults), nullptr);
        return false;
    }
    if (!ok && detail::GuardFailureSerial() == before)
        detail::RecordGuardFailure(GuardFailure::Kind::BodyFalse, 0, nullptr);
    return ok;
}

}  // namespace pelvanor
