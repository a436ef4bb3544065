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

}  // namespace pelvanor
