#pragma once
// Invariants that speak: PELVANOR_ASSERT(condition) stops the program with
// the condition's text and place when it does not hold.  Active in the
// checked builds (the sanitizer build and Debug builds define
// PELVANOR_CHECKED), compiled out everywhere else, so the hot loops of a
// Release build pay nothing.

#include <cfloat>
#include <limits>

// The numerics assume the x87 80-bit extended format: a 64-bit mantissa,
// an exponent range up to about 1.19e4932.  The number formats, the
// pseudo-inverse tolerance 1e-32 and the reference results depend on it.
static_assert(std::numeric_limits<long double>::digits == 64 && LDBL_MAX_EXP == 16384,
              "long double must be the x87 80-bit extended format");

#if defined(PELVANOR_CHECKED)
namespace pelvanor::detail {
[[noreturn]] void AssertionFailed(const char* condition, const char* file, int line) noexcept;
}  // namespace pelvanor::detail
#define PELVANOR_ASSERT(condition) \
    ((condition) ? static_cast<void>(0) : ::pelvanor::detail::AssertionFailed(#condition, __FILE__, __LINE__))
#else
#define PELVANOR_ASSERT(condition) static_cast<void>(0)
#endif
