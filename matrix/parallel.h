#pragma once
// Splitting a loop of independent iterations between the calling thread and
// one helper thread.  Used only by the dense kernels (decomposition, matrix
// product) for work whose result does not depend on how it is divided: each
// iteration writes its own elements with the same operations in the same
// order, so the results are bit for bit those of the serial loop.
//
// Floating-point fault flags are per thread: the helper's flags are raised
// again in the calling thread, so a fault in either half reaches the
// caller's GuardedComputation.

#include <functional>

namespace pelvanor {

// Calls body(lo, hi) on sub-ranges covering [begin, end) exactly once.  The
// range is split in two only when `work` (an estimate of the operations) is
// large enough to pay for the hand-over and a second processor exists;
// otherwise body(begin, end) runs here.  The split point is rounded down to a
// multiple of `granule` (>= 1).
// Allows or forbids the split (default allowed); for benchmarks and tests.
void SetParallelEnabled(bool enabled);
// Overrides the least work worth a split (negative restores the default);
// tests use 0 to send even small matrices through both threads.
void SetMinParallelWork(double work);

void ParallelFor(int begin, int end, double work, const std::function<void(int, int)>& body,
                 int granule = 1);

}  // namespace pelvanor
