// Timing of the matrix kernel's hot spots: the singular value decomposition,
// the pseudo-inverse built on it and the matrix product, for n x n matrices.
//
//   matrix_bench [--serial] [--skip-fast] [--reference-max N] [n ...]
//
// Default sizes 100 200 400 800.  --serial keeps the kernels on one thread,
// --skip-fast times only the reference.
//
// Every figure is printed in seconds and in nanoseconds per n^3.  A naive
// triple-loop extended-precision product is timed in the same run as the
// yardstick for what the machine does with long double.  The plain reference
// transcription of the decomposition (the test suite's) is timed up to
// --reference-max (default 400) and checked to agree bit for bit.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "matrix/arithmetic.h"
#include "matrix/parallel.h"
#include "matrix/svd.h"

// The reference forms live with the tests; the benchmark compiles them in.
#include "tests/matrix/svd_reference.cpp"

namespace {

using pelvanor::Matice;
using pelvanor::MatPtr;

// Wall-clock seconds since t0; the processor time of the whole process
// since the matching cpu0 goes to g_cpu (on a loaded machine the two differ).
double g_cpu = 0.0;
double CpuNow() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec);
}
double g_cpu0 = 0.0;
std::chrono::steady_clock::time_point Now() {
    g_cpu0 = CpuNow();
    return std::chrono::steady_clock::now();
}
double Seconds(std::chrono::steady_clock::time_point t0) {
    g_cpu = CpuNow() - g_cpu0;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// A symmetric positive definite matrix shaped like a normal matrix B^T B.
MatPtr NormalMatrix(int n, std::uint64_t seed) {
    std::mt19937_64 gen(seed);
    std::uniform_real_distribution<long double> dist(-1.0L, 1.0L);
    auto M = pelvanor::NewMatrix(static_cast<std::uint16_t>(n), static_cast<std::uint16_t>(n));
    for (int i = 1; i <= n; ++i)
        for (int j = i; j <= n; ++j) {
            const long double x = dist(gen) + (i == j ? static_cast<long double>(n) : 0.0L);
            M->SetPrvek(i, j, x);
            M->SetPrvek(j, i, x);
        }
    return M;
}

MatPtr RandomMatrix(int n, std::uint64_t seed) {
    std::mt19937_64 gen(seed);
    std::uniform_real_distribution<long double> dist(-1.0L, 1.0L);
    auto M = pelvanor::NewMatrix(static_cast<std::uint16_t>(n), static_cast<std::uint16_t>(n));
    for (auto& e : M->prvky) e = dist(gen);
    return M;
}

MatPtr NaiveProduct(const Matice& A, const Matice& B) {
    auto R = pelvanor::NewMatrix(A.r, B.s);
    for (int i = 1; i <= A.r; ++i)
        for (int j = 1; j <= B.s; ++j) {
            long double sum = 0.0L;
            for (int k = 1; k <= A.s; ++k) sum = A.GetPrvek(i, k) * B.GetPrvek(k, j) + sum;
            R->SetPrvek(i, j, sum);
        }
    return R;
}

bool Same(const Matice& X, const Matice& Y) {
    if (X.r != Y.r || X.s != Y.s) return false;
    for (std::size_t e = 0; e < X.prvky.size(); ++e)
        if (std::memcmp(&X.prvky[e], &Y.prvky[e], 10) != 0) return false;
    return true;
}

void Report(const char* what, int n, double seconds) {
    const double n3 = static_cast<double>(n) * n * n;
    std::printf("  %-28s %9.3f s %8.2f ns/n^3   (cpu %8.3f s %8.2f ns/n^3)\n", what, seconds,
                seconds * 1e9 / n3, g_cpu, g_cpu * 1e9 / n3);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    int referenceMax = 400;
    bool skipFast = false;
    std::vector<int> sizes;
    for (int a = 1; a < argc; ++a) {
        if (std::strcmp(argv[a], "--serial") == 0)
            pelvanor::SetParallelEnabled(false);
        else if (std::strcmp(argv[a], "--skip-fast") == 0)
            skipFast = true;
        else if (std::strcmp(argv[a], "--reference-max") == 0 && a + 1 < argc)
            referenceMax = std::atoi(argv[++a]);
        else
            sizes.push_back(std::atoi(argv[a]));
    }
    if (sizes.empty()) sizes = {100, 200, 400, 800};

    for (int n : sizes) {
        std::printf("n = %d\n", n);
        auto A = RandomMatrix(n, 1);
        auto B = RandomMatrix(n, 2);
        auto t0 = Now();
        auto naive = NaiveProduct(*A, *B);
        Report("naive triple loop product", n, Seconds(t0));
        t0 = Now();
        auto fast = pelvanor::MatMul(*A, *B);
        Report("MatMul", n, Seconds(t0));
        if (!Same(*naive, *fast)) std::printf("  MatMul DIFFERS from the naive product\n");

        auto N = NormalMatrix(n, 3);
        MatPtr a = pelvanor::MatCopy(*N), w, v, P;
        bool flag = false;
        if (!skipFast) {
            t0 = Now();
            pelvanor::Svdcmp(*a, w, v);
            Report("Svdcmp", n, Seconds(t0));
            t0 = Now();
            P = pelvanor::PseudoInverseTol(*N, flag, 1e-32L);
            Report("PseudoInverseTol", n, Seconds(t0));
        }

        if (n <= referenceMax) {
            MatPtr ar = pelvanor::MatCopy(*N), wr, vr;
            t0 = Now();
            pelvanor::test::SvdcmpReference(*ar, wr, vr);
            Report("Svdcmp (reference)", n, Seconds(t0));
            bool flagr = false;
            t0 = Now();
            auto Pr = pelvanor::test::PseudoInverseTolReference(*N, flagr, 1e-32L);
            Report("PseudoInverseTol (reference)", n, Seconds(t0));
            if (skipFast) continue;
            const bool same = Same(*a, *ar) && Same(*w, *wr) && Same(*v, *vr) && flag == flagr &&
                              P && Pr && Same(*P, *Pr);
            std::printf("  bit-identical to reference: %s\n", same ? "yes" : "NO");
        }
    }
    return 0;
}
