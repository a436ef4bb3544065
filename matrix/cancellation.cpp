#include "matrix/cancellation.h"

#include <utility>

namespace pelvanor {

namespace {

// The question of this thread; the helper threads of a split loop borrow the
// caller's for their parts.
thread_local const std::function<bool()>* t_requested = nullptr;

}  // namespace

CancellationScope::CancellationScope(std::function<bool()> requested)
    : requested_(std::move(requested)), previous_(t_requested) {
    t_requested = requested_ ? &requested_ : previous_;
}

CancellationScope::~CancellationScope() { t_requested = previous_; }

const std::function<bool()>* CurrentCancellationQuestion() { return t_requested; }

LentCancellationScope::LentCancellationScope(const std::function<bool()>* question) : previous_(t_requested) {
    t_requested = question;
}

LentCancellationScope::~LentCancellationScope() { t_requested = previous_; }

bool CancellationRequested() { return t_requested != nullptr && (*t_requested)(); }

void ThrowIfCancelled() {
    if (CancellationRequested()) throw ComputationCancelled();
}

namespace {

thread_local const std::function<void(double)>* t_progress = nullptr;

}  // namespace

ProgressScope::ProgressScope(std::function<void(double)> report)
    : report_(std::move(report)), previous_(t_progress) {
    t_progress = report_ ? &report_ : previous_;
}

ProgressScope::~ProgressScope() { t_progress = previous_; }

bool ProgressWanted() { return t_progress != nullptr; }

void ReportKernelProgress(double share) {
    if (t_progress != nullptr) (*t_progress)(share);
}

}  // namespace pelvanor
