#include "matrix/parallel.h"

#include <atomic>
#include <cfenv>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "matrix/fp_guard.h"

namespace pelvanor {

namespace {

// Below this many operations a hand-over (tens of microseconds) costs more
// than it saves.
constexpr double kDefaultMinParallelWork = 4.0e5;
std::atomic<double> g_minParallelWork{kDefaultMinParallelWork};
std::atomic<bool> g_parallelEnabled{true};
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

    // Serialises users: a second caller while the helper is busy runs
    // serially instead of waiting.
    std::mutex& Busy() { return busy_; }

    void Start(const std::function<void()>* task) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            task_ = task;
            done_ = false;
            exception_ = nullptr;
        }
        wake_.notify_all();
    }

    // Waits for the task, raises its fault flags here and rethrows its
    // exception, if any.
    void Finish() {
        std::unique_lock<std::mutex> lock(mutex_);
        finished_.wait(lock, [this] { return done_; });
        if (flags_) std::feraiseexcept(flags_);
        if (exception_) std::rethrow_exception(exception_);
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

    std::mutex busy_;
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

bool HaveSecondProcessor() {
    static const bool second = std::thread::hardware_concurrency() >= 2;
    return second;
}

Helper& TheHelper() {
    static Helper helper;
    return helper;
}

}  // namespace

void SetParallelEnabled(bool enabled) { g_parallelEnabled = enabled; }

void SetMinParallelWork(double work) { g_minParallelWork = work < 0 ? kDefaultMinParallelWork : work; }

void ParallelFor(int begin, int end, double work, const std::function<void(int, int)>& body,
                 int granule) {
    const bool split = !t_inSplit && end - begin >= 2 * granule &&
                       work >= g_minParallelWork.load(std::memory_order_relaxed) &&
                       g_parallelEnabled.load(std::memory_order_relaxed) && HaveSecondProcessor();
    if (!split) {
        if (begin < end) body(begin, end);
        return;
    }
    Helper& helper = TheHelper();
    std::unique_lock<std::mutex> busy(helper.Busy(), std::try_to_lock);
    if (!busy.owns_lock()) {
        body(begin, end);
        return;
    }
    int mid = begin + (end - begin) / 2;
    mid = begin + (mid - begin) / granule * granule;
    const std::function<void()> upper = [&] { body(mid, end); };
    helper.Start(&upper);
    std::exception_ptr failure;
    t_inSplit = true;
    try {
        body(begin, mid);
    } catch (...) {
        failure = std::current_exception();
    }
    t_inSplit = false;
    helper.Finish();
    if (failure) std::rethrow_exception(failure);
}

}  // namespace pelvanor
