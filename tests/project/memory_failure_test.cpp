// An allocation that fails anywhere in a command fails the whole command
// after a line naming the memory, and leaves no partial result.  The
// failure is injected: this test program replaces the global allocation
// functions with ones that refuse one chosen large request.

#include <sys/resource.h>

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <fstream>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "adjustment/bundle_normal_equations.h"
#include "project/bundle_pipeline.h"
#include "project/failure_causes.h"
#include "project/object_points_pipeline.h"
#include "tests/project/loaded_project.h"

namespace {

// The request of at least kLargeRequest bytes to refuse, counted from 1
// after Arm(); 0 refuses none.
constexpr std::size_t kLargeRequest = 32 * 1024;
std::atomic<long> g_refuse{0};
std::atomic<long> g_seen{0};

void Arm(long which) {
    g_seen = 0;
    g_refuse = which;
}

void* Allocate(std::size_t size) {
    if (size >= kLargeRequest && g_refuse > 0 && ++g_seen == g_refuse) throw std::bad_alloc();
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
// The non-throwing forms (std::stable_sort's temporary buffer, which sorts
// in place when refused) must come from the same heap as the deletes below;
// they are never refused, since their callers cope without them.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size == 0 ? 1 : size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size == 0 ? 1 : size);
}
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace pelvanor {
namespace {

using Lines = std::vector<std::string>;

// A small project solved by the pseudo-inverse, whose bordered matrices
// are the large requests (the point elimination of so small a block asks
// for none).
struct SvdProject : test::LoadedProject {
    SvdProject() : test::LoadedProject(test::TinyProject(31)) { state.Settings.NormalEquations = NormalSolve::Svd; }
};

// Large requests the whole bundle adjustment makes in a run without any
// refusal (so that every one of them can be refused in turn).
long LargeRequestsOfABundleAdjustment() {
    SvdProject lp;
    Arm(1L << 40);  // count, refuse none
    EXPECT_TRUE(BundleCommand(lp.state, lp.host));
    const long seen = g_seen;
    Arm(0);
    return seen;
}

TEST(MemoryFailure, AnyRefusedAllocationFailsTheWholeBundleAdjustment) {
    const long requests = LargeRequestsOfABundleAdjustment();
    ASSERT_GE(requests, 4);
    // The first request and one late in the run: the first adjustment
    // cannot allocate, or a later one cannot; both times the command fails,
    // although later adjustments would succeed.
    for (const long which : {1L, requests / 2, requests}) {
        SCOPED_TRACE(which);
        SvdProject lp;
        ProjectState& s = lp.state;
        Arm(which);
        const bool ok = BundleCommand(s, lp.host);
        Arm(0);
        EXPECT_FALSE(ok);
        ASSERT_GE(lp.host.log.size(), 2u);
        EXPECT_EQ(lp.host.log[lp.host.log.size() - 2], kMemoryFailureLine);
        EXPECT_EQ(lp.host.log.back(), "Svazkové vyrovnání - výpočet nelze provést");
        EXPECT_FALSE(lp.host.IsItemEnabled(UiItem::Svazkovvyrovnn2));
        for (const MatPtr* m : {&s.BundleUnknowns, &s.BundleUnknownsF, &s.BundleWeights, &s.RobustOutliers,
                                &s.RobustPointOccurrences, &s.ApproxObjectPoints})
            EXPECT_FALSE(*m);
    }
}

TEST(MemoryFailure, RefusedAllocationFailsSouradniceXYZ) {
    const long requests = LargeRequestsOfABundleAdjustment();
    SvdProject lp;
    ProjectState& s = lp.state;
    // The bundle adjustment inside the command runs twice the orientation;
    // refuse a request of its last adjustment.
    Arm(requests);
    const bool ok = ObjectPointsCommand(s, lp.host);
    Arm(0);
    EXPECT_FALSE(ok);
    EXPECT_NE(std::find(lp.host.log.begin(), lp.host.log.end(), kMemoryFailureLine), lp.host.log.end());
    EXPECT_EQ(lp.host.log.back(), "Chyba - Souřadnice XYZ - výpočet nelze provést");
    EXPECT_FALSE(s.ObjectPoints);
    EXPECT_FALSE(lp.host.IsItemEnabled(UiItem::Kompletn1));
}

// Bytes of a field of /proc/self/status.
long double StatusBytes(const std::string& name) {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(name, 0) != 0) continue;
        std::istringstream fields(line.substr(name.size()));
        long double kb = 0.0L;
        fields >> kb;
        return kb * 1024.0L;
    }
    return -1.0L;
}

// The address-space limit counts what the process has mapped already: only
// what is left under it can be promised to an adjustment.
TEST(MemoryFailure, AvailableMemoryIsWhatIsLeftUnderTheAddressSpaceLimit) {
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_AS, &saved), 0);
    const long double held = StatusBytes("VmSize:");
    ASSERT_GT(held, 0.0L);
    const long double room = 64.0L * 1024.0L * 1024.0L;
    rlimit limit = saved;
    limit.rlim_cur = static_cast<rlim_t>(held + room);
    if (saved.rlim_max != RLIM_INFINITY && limit.rlim_cur > saved.rlim_max) GTEST_SKIP() << "hard limit too low";
    ASSERT_EQ(setrlimit(RLIMIT_AS, &limit), 0);
    const long double available = AvailableMemory();
    ASSERT_EQ(setrlimit(RLIMIT_AS, &saved), 0);
    EXPECT_LE(available, room);
    EXPECT_GT(available, room / 2);
}

}  // namespace
}  // namespace pelvanor
