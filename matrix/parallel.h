#pragma once
// Splitting a loop of independent iterations between the calling thread and
// helper threads, one part per processor.  Used only by the dense kernels
// (decomposition, matrix product) for work whose result does not depend on how it is divided: each
// iteration writes its own elements with the same operations in the same
// order, so the results are bit for bit those of the serial loop.
//
// Floating-point fault flags are per thread: the helper's flags are raised
// again in the calling thread, so a fault in any part reaches the
// caller's GuardedComputation.  The caller's cancellation question
// (matrix/cancellation.h) is lent to the helpers for their parts, so a
// ThrowIfCancelled in any part can stop the loop.

#include <functional>

namespace pelvanor {

// Allows or forbids the split (default allowed); for benchmarks and tests.
void SetParallelEnabled(bool enabled);
// Overrides the least work worth a split (negative restores the default);
// tests use 0 to send even small matrices through every thread.
void SetMinParallelWork(double work);

// Threads a split uses: SetParallelThreads' value when set, else the
// environment variable PELVANOR_THREADS when it holds a positive whole
// number, else std::thread::hardware_concurrency().
int ParallelThreads();
// Forces the thread count whatever the machine has (0 restores the default);
// tests use it to split on a one-processor runner, benchmarks to compare.
void SetParallelThreads(int threads);

// Calls body(lo, hi) on sub-ranges covering [begin, end) exactly once.  The
// range is split into ParallelThreads() parts (fewer when it holds fewer
// granules) only when `work` (an estimate of the operations) is large enough
// to pay for the hand-over and more than one thread is allowed; otherwise
// body(begin, end) runs here.  Every split point lies a whole number of
// `granule`s (>= 1) after `begin`.
void ParallelFor(int begin, int end, double work, const std::function<void(int, int)>& body,
                 int granule = 1);

}  // namespace pelvanor
