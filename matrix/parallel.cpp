#include "matrix/parallel.h"

#include <algorithm>
#include <atomic>
#include <cfenv>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "matrix/fp_guard.h"

namespace pelvanor {

namespace {

// Below this many operations a hand-over (tens of microseconds) costs more
// than it saves.
constexpr double kDefaultMinParallelWork = 4.0e5;
// More threads than this bring nothing to the kernels' loop lengths.
constexpr int kMaxThreads = 64;
std::atomic<double> g_minParallelWork{kDefaultMinParallelWork};
std::atomic<bool> g_parallelEnabled{true};
std::atomic<int> g_threadOverride{0};
// True on a thread while it runs a part of a split loop: a split inside a
// split runs serially.
thread_local bool t_inSplit = false;

// One helper thread, started on first use and stopped at program exit.
class Helper {
public:
    Helper() : thread_([this] { Loop(); }) {}
    ~Helper() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    Helper(const Helper&) = delete;
    Helper& operator=(const Helper&) = delete;

    void Start(const std::function<void()>* task) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            task_ = task;
            done_ = false;
            exception_ = nullptr;
        }
        wake_.notify_all();
    }

    // Waits for the task and raises its fault flags here; returns its
    // exception, if any.
    std::exception_ptr Finish() {
        std::unique_lock<std::mutex> lock(mutex_);
        finished_.wait(lock, [this] { return done_; });
        if (flags_) std::feraiseexcept(flags_);
        return exception_;
    }

private:
    void Loop() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return stop_ || task_ != nullptr; });
            if (stop_) return;
            const std::function<void()>* task = task_;
            task_ = nullptr;
            lock.unlock();
            t_inSplit = true;
            std::feclearexcept(kFpFaults);
            std::exception_ptr failure;
            try {
                (*task)();
            } catch (...) {
                failure = std::current_exception();
            }
            const int flags = std::fetestexcept(kFpFaults);
            lock.lock();
            flags_ = flags;
            exception_ = failure;
            done_ = true;
            finished_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable finished_;
    const std::function<void()>* task_ = nullptr;
    bool done_ = true;
    bool stop_ = false;
    int flags_ = 0;
    std::exception_ptr exception_;
    std::thread thread_;
};

// The helper threads, created as a split first needs them.  One split runs
// at a time: a second caller while the pool is busy runs serially instead of
// waiting.
class Pool {
public:
    std::mutex& Busy() { return busy_; }
    // Helpers 0 .. count-1; called with Busy() held.
    Helper& At(std::size_t k) {
        while (helpers_.size() <= k) helpers_.push_back(std::make_unique<Helper>());
        return *helpers_[k];
    }

private:
    std::mutex busy_;
    std::vector<std::unique_ptr<Helper>> helpers_;
};

Pool& ThePool() {
    static Pool pool;
    return pool;
}

// The machine's processors, or PELVANOR_THREADS when it holds a positive
// whole number (read once).
int MachineThreads() {
    static const int threads = [] {
        if (const char* env = std::getenv("PELVANOR_THREADS")) {
            char* end = nullptr;
            const long value = std::strtol(env, &end, 10);
            if (end != env && *end == '\0' && value >= 1) {
                return static_cast<int>(std::min<long>(value, kMaxThreads));
            }
        }
        const unsigned hw = std::thread::hardware_concurrency();
        return std::clamp(static_cast<int>(hw), 1, kMaxThreads);
    }();
    return threads;
}

}  // namespace

void SetParallelEnabled(bool enabled) { g_parallelEnabled = enabled; }

void SetMinParallelWork(double work) { g_minParallelWork = work < 0 ? kDefaultMinParallelWork : work; }

void SetParallelThreads(int threads) { g_threadOverride = std::clamp(threads, 0, kMaxThreads); }

int ParallelThreads() {
    const int forced = g_threadOverride.load(std::memory_order_relaxed);
    return forced > 0 ? forced : MachineThreads();
}

void ParallelFor(int begin, int end, double work, const std::function<void(int, int)>& body,
                 int granule) {
    granule = std::max(granule, 1);
    // Parts: as many as threads, each at least one granule long.
    const int parts = std::min(ParallelThreads(), (end - begin) / granule);
    const bool split = !t_inSplit && parts >= 2 &&
                       work >= g_minParallelWork.load(std::memory_order_relaxed) &&
                       g_parallelEnabled.load(std::memory_order_relaxed);
    if (!split) {
        if (begin < end) body(begin, end);
        return;
    }
    Pool& pool = ThePool();
    std::unique_lock<std::mutex> busy(pool.Busy(), std::try_to_lock);
    if (!busy.owns_lock()) {
        body(begin, end);
        return;
    }
    // Part k covers [bound[k], bound[k+1]); every inner bound lies a whole
    // number of granules after `begin`.
    const long long granules = (end - begin) / granule;
    std::vector<int> bound(static_cast<std::size_t>(parts) + 1);
    bound[0] = begin;
    for (int k = 1; k < parts; ++k) {
        bound[static_cast<std::size_t>(k)] =
            begin + static_cast<int>(granules * k / parts) * granule;
    }
    bound[static_cast<std::size_t>(parts)] = end;
    std::vector<std::function<void()>> tasks(static_cast<std::size_t>(parts) - 1);
    for (int k = 1; k < parts; ++k) {
        const int lo = bound[static_cast<std::size_t>(k)];
        const int hi = bound[static_cast<std::size_t>(k) + 1];
        tasks[static_cast<std::size_t>(k) - 1] = [&body, lo, hi] { body(lo, hi); };
    }
    for (std::size_t k = 0; k < tasks.size(); ++k) pool.At(k).Start(&tasks[k]);
    std::exception_ptr failure;
    t_inSplit = true;
    try {
        body(bound[0], bound[1]);
    } catch (...) {
        failure = std::current_exception();
    }
    t_inSplit = false;
    for (std::size_t k = 0; k < tasks.size(); ++k) {
        std::exception_ptr helperFailure = pool.At(k).Finish();
        if (!failure && helperFailure) failure = helperFailure;
    }
    if (failure) std::rethrow_exception(failure);
}

}  // namespace pelvanor
