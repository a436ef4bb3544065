#include "matrix/fp_guard.h"

#include <cstdio>
#include <cstdlib>

#include "matrix/cancellation.h"
#include "matrix/svd.h"

namespace pelvanor {
namespace {

thread_local GuardFailure t_last;
thread_local std::uint64_t t_allocationFailures = 0;

bool DebugFailures() {
    static const bool on = [] {
        const char* v = std::getenv("PELVANOR_DEBUG_FAILURES");
        return v != nullptr && *v != '\0' && *v != '0';
    }();
    return on;
}

}  // namespace

const GuardFailure& LastGuardFailure() noexcept { return t_last; }

std::uint64_t AllocationFailureCount() noexcept { return t_allocationFailures; }

std::string DescribeGuardFailure(const GuardFailure& failure) {
    switch (failure.kind) {
        case GuardFailure::Kind::None:
            return "no failure";
        case GuardFailure::Kind::BodyFalse:
            return "the computation returned false";
        case GuardFailure::Kind::Fault: {
            std::string text = "floating-point fault:";
            if (failure.flags & FE_DIVBYZERO) text += " division by zero";
            if (failure.flags & FE_INVALID) text += " invalid operation";
            if (failure.flags & FE_OVERFLOW) text += " overflow";
            return text;
        }
        case GuardFailure::Kind::Exception:
            return "exception: " + failure.exception;
    }
    return "unknown failure";
}

namespace detail {

void RecordGuardFailure(GuardFailure::Kind kind, int flags, const char* what) noexcept {
    // The flags and exception texts are small; a failed allocation of the
    // text leaves it empty rather than throwing out of a noexcept guard.
    t_last.kind = kind;
    t_last.flags = flags & kFpFaults;
    t_last.thrown = GuardFailure::Thrown::None;
    try {
        t_last.exception = what ? what : "";
    } catch (...) {
        t_last.exception.clear();
    }
    ++t_last.serial;
    if (DebugFailures()) {
        // The standard error's own flags do not matter to the caller, but the
        // description must not disturb the fault flags a caller inspects.
        fexcept_t saved{};
        fegetexceptflag(&saved, kFpFaults);
        try {
            std::fprintf(stderr, "pelvanor: guarded computation failed: %s\n",
                         DescribeGuardFailure(t_last).c_str());
        } catch (...) {
        }
        fesetexceptflag(&saved, kFpFaults);
    }
}

void RecordGuardException(const std::exception* e) noexcept {
    using Thrown = GuardFailure::Thrown;
    Thrown thrown = Thrown::Other;
    if (dynamic_cast<const std::bad_alloc*>(e) != nullptr) thrown = Thrown::Allocation;
    if (dynamic_cast<const SvdError*>(e) != nullptr) thrown = Thrown::SvdNoConvergence;
    if (dynamic_cast<const ComputationCancelled*>(e) != nullptr) thrown = Thrown::Cancelled;
    RecordGuardFailure(GuardFailure::Kind::Exception, 0, e != nullptr ? e->what() : "unknown");
    t_last.thrown = thrown;
}

std::uint64_t GuardFailureSerial() noexcept { return t_last.serial; }

void RecordAllocationFailure() noexcept { ++t_allocationFailures; }

}  // namespace detail
}  // namespace pelvanor
