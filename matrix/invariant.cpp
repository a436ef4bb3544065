#include "matrix/invariant.h"

#include <cstdio>
#include <cstdlib>

#if defined(PELVANOR_CHECKED)
namespace pelvanor::detail {

void AssertionFailed(const char* condition, const char* file, int line) noexcept {
    std::fprintf(stderr, "%s:%d: invariant violated: %s\n", file, line, condition);
    std::abort();
}

}  // namespace pelvanor::detail
#endif
