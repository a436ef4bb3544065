#pragma once
// Stopping a long computation on request.
//
// The thread that computes installs a question ("has the user asked to
// stop?") for the time of a command.  The long kernels (the singular value
// decomposition and the pseudo-inverse built on it) ask it between their
// steps, on the calling thread only, never inside a loop split between
// threads; on a yes they leave by throwing ComputationCancelled, which the
// guarded computation around them turns into an ordinary failure.  Asking
// performs no floating-point operation, so a computation that is not
// stopped gives the same bits as without the question.

#include <functional>
#include <stdexcept>

namespace pelvanor {

class ComputationCancelled : public std::runtime_error {
public:
    ComputationCancelled() : std::runtime_error("computation cancelled") {}
};

// Installs `requested` on the calling thread until destruction; the
// question installed before is restored then.  An empty function leaves
// that question in place.
class CancellationScope {
public:
    explicit CancellationScope(std::function<bool()> requested);
    ~CancellationScope();
    CancellationScope(const CancellationScope&) = delete;
    CancellationScope& operator=(const CancellationScope&) = delete;

private:
    std::function<bool()> requested_;
    const std::function<bool()>* previous_;
};

// True when the question installed on this thread answers yes.
// The question asked on this thread, null when there is none.  A split loop
// (matrix/parallel.h) lends it to its helper threads for their parts, so a
// question must be safe to ask from any thread.
const std::function<bool()>* CurrentCancellationQuestion();

// Asks `question` (which must outlive the scope) on this thread until the
// scope ends.
class LentCancellationScope {
public:
    explicit LentCancellationScope(const std::function<bool()>* question);
    ~LentCancellationScope();
    LentCancellationScope(const LentCancellationScope&) = delete;
    LentCancellationScope& operator=(const LentCancellationScope&) = delete;

private:
    const std::function<bool()>* previous_;
};

bool CancellationRequested();
// Throws ComputationCancelled when CancellationRequested().
void ThrowIfCancelled();

// How far the long kernel that runs has come, for a progress display: the
// thread that computes installs a receiver for the time of a command, and
// the kernels report the share of their work done (0 to 1) at the steps
// where they ask the question above, on the calling thread only.  The
// receiver must be cheap and leave the floating-point flags alone; the
// share is computed only while one is installed, apart from the values of
// the computation, so that reporting changes none of its bits.
class ProgressScope {
public:
    explicit ProgressScope(std::function<void(double)> report);
    ~ProgressScope();
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;

private:
    std::function<void(double)> report_;
    const std::function<void(double)>* previous_;
};

// True while a receiver is installed on this thread.
bool ProgressWanted();
// Hands `share` to the receiver of this thread, if any.
void ReportKernelProgress(double share);

}  // namespace pelvanor
