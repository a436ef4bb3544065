#include "matrix/parallel.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cfenv>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "matrix/cancellation.h"
#include "matrix/fp_guard.h"

namespace pelvanor {

namespace {

// Below this many operations a hand-over (a few microseconds while the
// helpers spin, see kSpin) costs more than it saves.
constexpr double kDefaultMinParallelWork = 3.0e4;
// More threads than this bring nothing to the kernels' loop lengths.
constexpr int kMaxThreads = 64;
std::atomic<double> g_minParallelWork{kDefaultMinParallelWork};
std::atomic<bool> g_parallelEnabled{true};
std::atomic<int> g_threadOverride{0};
// True on a thread while it runs a part of a split loop: a split inside a
// split runs serially.
thread_local bool t_inSplit = false;

// How long a helper keeps looking for its next part, and the caller for a
// helper's end, before going to sleep.  The kernels hand over parts in quick
// succession (one per Householder step, a few microseconds to milliseconds
// apart); waking a sleeping thread costs tens of microseconds, which is what
// kept splits of small steps from paying.  A spin this short costs nothing
// noticeable when the threads do go idle.
constexpr auto kSpin = std::chrono::microseconds(200);

inline void Relax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#else
    std::this_thread::yield();
#endif
}

// Spins until ready() or kSpin has passed; returns ready().
template <class Ready>
bool SpinFor(Ready ready) {
    const auto until = std::chrono::steady_clock::now() + kSpin;
    for (;;) {
        for (int k = 0; k < 64; ++k) {
            if (ready()) return true;
            Relax();
        }
        if (std::chrono::steady_clock::now() >= until) return ready();
    }
}

// One helper thread, started on first use and stopped at program exit.
// Parts are numbered: the caller posts part `posted_`, the helper reports
// it done in `finished_`; the task, its flags and its exception are handed
// over through these counters' release and acquire.
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
        task_ = task;
        exception_ = nullptr;
        flags_ = 0;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            posted_.fetch_add(1, std::memory_order_release);
        }
        wake_.notify_one();
    }

    // Waits for the task and raises its fault flags here; returns its
    // exception, if any.
    std::exception_ptr Finish() {
        const std::uint64_t part = posted_.load(std::memory_order_relaxed);
        auto done = [this, part] { return finished_.load(std::memory_order_acquire) == part; };
        if (!SpinFor(done)) {
            std::unique_lock<std::mutex> lock(mutex_);
            finishedCv_.wait(lock, done);
        }
        if (flags_) std::feraiseexcept(flags_);
        return exception_;
    }

private:
    void Loop() {
        std::uint64_t seen = 0;
        for (;;) {
            auto posted = [this, &seen] {
                return posted_.load(std::memory_order_acquire) != seen || stop_.load(std::memory_order_acquire);
            };
            if (!SpinFor(posted)) {
                std::unique_lock<std::mutex> lock(mutex_);
                wake_.wait(lock, posted);
            }
            if (stop_.load(std::memory_order_acquire)) return;
            seen = posted_.load(std::memory_order_acquire);
            t_inSplit = true;
            std::feclearexcept(kFpFaults);
            std::exception_ptr failure;
            try {
                (*task_)();
            } catch (...) {
                failure = std::current_exception();
            }
            flags_ = std::fetestexcept(kFpFaults);
            exception_ = failure;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                finished_.store(seen, std::memory_order_release);
            }
            finishedCv_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable finishedCv_;
    std::atomic<std::uint64_t> posted_{0};
    std::atomic<std::uint64_t> finished_{0};
    std::atomic<bool> stop_{false};
    const std::function<void()>* task_ = nullptr;
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
    // The helpers ask the caller's cancellation question in their parts.
    const std::function<bool()>* question = CurrentCancellationQuestion();
    std::vector<std::function<void()>> tasks(static_cast<std::size_t>(parts) - 1);
    for (int k = 1; k < parts; ++k) {
        const int lo = bound[static_cast<std::size_t>(k)];
        const int hi = bound[static_cast<std::size_t>(k) + 1];
        tasks[static_cast<std::size_t>(k) - 1] = [&body, lo, hi, question] {
            LentCancellationScope lent(question);
            body(lo, hi);
        };
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
