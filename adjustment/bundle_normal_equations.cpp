#include "adjustment/bundle_normal_equations.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>

#include "matrix/arithmetic.h"
#include "matrix/svd.h"

namespace pelvanor {

bool SolveBundlePass(const BundleRows& rows, const std::vector<long double>* weights, bool halve,
                     BundleWorkspace& ws, std::vector<long double>& d,
                     std::vector<long double>& v, long double& vtv) {
    const std::int32_t n = rows.n;
    const std::int32_t u = rows.u;
    const std::int32_t size = u + rows.fixed;
    const std::int32_t width = rows.Width();
    if (!FitsMatrixSize(size) || size < 1) return false;

    if (!ws.K || ws.K->r != size || ws.K->s != size) {
        ws.K = NewMatrix(static_cast<std::uint16_t>(size), static_cast<std::uint16_t>(size));
    } else {
        std::fill(ws.K->prvky.begin(), ws.K->prvky.end(), 0.0L);
    }
    ws.rhs.assign(static_cast<std::size_t>(size), 0.0L);
    ws.aw.resize(static_cast<std::size_t>(width));

    long double* K = ws.K->prvky.data();
    const std::size_t stride = static_cast<std::size_t>(size);
    // Columns of one row's non-zeros: three of its point, six or seven of
    // its image, then the global ones.
    std::int32_t col[kMaxBundleRowWidth];
    const std::int32_t imageEnd = 3 + rows.imageWidth;
    const std::int32_t globalColumn = rows.GlobalColumn();
    PELVANOR_ASSERT(width >= 9 && width <= kMaxBundleRowWidth && rows.globalWidth >= 0);

    // N(i, j) = sum over rows k of (A(k, i) w(k)) A(k, j), rows in increasing
    // k; g(i) = sum of (A(k, i) w(k)) l(k).  (A^T W)(i, k) is the single
    // product A(k, i) w(k): the other terms of its dense sum are zeros.
    for (std::int32_t h = 0; h < n; ++h) {
        const long double* a = rows.a.data() + static_cast<std::size_t>(h) * width;
        const long double w = weights != nullptr ? (*weights)[static_cast<std::size_t>(h)] : 1.0L;
        PELVANOR_ASSERT(rows.pointColumn[h] >= 0 && rows.pointColumn[h] + 3 <= rows.imageColumn[h] &&
                        rows.imageColumn[h] + rows.imageWidth <= globalColumn);
        for (std::int32_t q = 0; q < 3; ++q) col[q] = rows.pointColumn[h] + q;
        for (std::int32_t q = 3; q < imageEnd; ++q) col[q] = rows.imageColumn[h] + (q - 3);
        for (std::int32_t q = imageEnd; q < width; ++q) col[q] = globalColumn + (q - imageEnd);
        for (std::int32_t q = 0; q < width; ++q) ws.aw[q] = a[q] * w;
        const long double lh = rows.l[static_cast<std::size_t>(h)];
        for (std::int32_t qi = 0; qi < width; ++qi) {
            const long double awi = ws.aw[static_cast<std::size_t>(qi)];
            long double* Krow = K + static_cast<std::size_t>(col[qi]) * stride;
            for (std::int32_t qj = 0; qj < width; ++qj) {
                Krow[col[qj]] = awi * a[qj] + Krow[col[qj]];
            }
            ws.rhs[col[qi]] = awi * lh + ws.rhs[col[qi]];
        }
    }
    // Surveyed coordinates of weighted control points, after the image rows.
    for (const BundleRows::PointPrior& prior : rows.priors) {
        PELVANOR_ASSERT(prior.column >= rows.fixed && prior.column + 3 <= u);
        for (std::int32_t q = 0; q < 3; ++q) {
            if (prior.weight[q] == 0.0L) continue;
            const std::size_t c = static_cast<std::size_t>(prior.column + q);
            K[c * stride + c] = prior.weight[q] + K[c * stride + c];
            ws.rhs[c] = prior.weight[q] * prior.l[q] + ws.rhs[c];
        }
    }
    // Constraints of the datum: the corrections of the first 3b coordinates vanish.
    for (std::int32_t r = 0; r < rows.fixed; ++r) {
        K[static_cast<std::size_t>(u + r) * stride + r] = 1.0L;
        K[static_cast<std::size_t>(r) * stride + (u + r)] = 1.0L;
    }

    bool flag = false;
    const auto start = std::chrono::steady_clock::now();
    MatPtr S = PseudoInverseTol(*ws.K, flag, kBundlePseudoInverseTolerance);
    if (ws.timings != nullptr) {
        ws.timings->pseudoInverseSeconds +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    if (!flag || !S || S->r != size || S->s != size) return false;
    if (rows.globalWidth > 0) {
        const std::size_t k = static_cast<std::size_t>(rows.globalWidth);
        ws.globalCofactor.assign(k * k, 0.0L);
        for (std::size_t i = 0; i < k; ++i) {
            for (std::size_t j = 0; j < k; ++j) {
                ws.globalCofactor[i * k + j] = S->prvky[(globalColumn + i) * stride + globalColumn + j];
            }
        }
    }

    // z = -(S r), halved; only the first u entries (the corrections) are
    // kept, and the zero tail of r adds nothing to the sums.
    d.assign(static_cast<std::size_t>(u), 0.0L);
    for (std::int32_t i = 0; i < u; ++i) {
        const long double* Srow = S->prvky.data() + static_cast<std::size_t>(i) * stride;
        long double sum = 0.0L;
        for (std::int32_t k = 0; k < u; ++k) sum = Srow[k] * ws.rhs[k] + sum;
        long double z = sum * -1.0L;
        if (halve) z = z * 0.5L;
        d[i] = z;
    }

    vtv = PassResiduals(rows, d, v);
    return true;
}

long double PassResiduals(const BundleRows& rows, const std::vector<long double>& d,
                          std::vector<long double>& v) {
    const std::int32_t n = rows.n;
    const std::int32_t width = rows.Width();
    const std::int32_t imageEnd = 3 + rows.imageWidth;
    const std::int32_t globalColumn = rows.GlobalColumn();
    // v = A d + l, vtv = v^T v, each sum in the order of the row.
    v.assign(static_cast<std::size_t>(n), 0.0L);
    long double squares = 0.0L;
    for (std::int32_t h = 0; h < n; ++h) {
        const long double* a = rows.a.data() + static_cast<std::size_t>(h) * width;
        long double sum = 0.0L;
        for (std::int32_t q = 0; q < 3; ++q) sum = a[q] * d[rows.pointColumn[h] + q] + sum;
        for (std::int32_t q = 3; q < imageEnd; ++q) {
            sum = a[q] * d[rows.imageColumn[h] + (q - 3)] + sum;
        }
        for (std::int32_t q = imageEnd; q < width; ++q) sum = a[q] * d[globalColumn + (q - imageEnd)] + sum;
        const long double vh = sum + rows.l[static_cast<std::size_t>(h)];
        v[h] = vh;
        squares = vh * vh + squares;
    }
    for (const BundleRows::PointPrior& prior : rows.priors) {
        for (std::int32_t q = 0; q < 3; ++q) {
            if (prior.weight[q] == 0.0L) continue;
            const long double vq = prior.l[q] + d[static_cast<std::size_t>(prior.column + q)];
            squares = prior.weight[q] * vq * vq + squares;
        }
    }
    return squares;
}

long double BundleMemoryEstimate(std::int64_t n, std::int64_t u, std::int64_t fixed,
                                 std::int32_t imageWidth) {
    const long double s = static_cast<long double>(u + fixed);
    const long double element = sizeof(long double);
    // The bordered matrix and, at the peak of its pseudo-inverse, the copy
    // that becomes U, V, the reciprocal diagonal, V D, U^T, the transposed
    // operand of the product and the product: eight matrices of the bordered
    // order, and one more for the workspace of the decomposition.
    const long double square = 9.0L * s * s * element;
    // Compact rows, weights, residuals and the vectors of the unknowns.
    const long double rows = static_cast<long double>(n) * (static_cast<long double>(4 + imageWidth) * element + 16.0L) +
                             static_cast<long double>(n) * 3.0L * element;
    const long double vectors = 8.0L * s * element;
    return square + rows + vectors;
}

namespace {

// A "Name:   value kB" field of a /proc file, in bytes; a negative value
// when the file or the field is missing.
long double ProcFieldBytes(const char* file, const std::string& name) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(name, 0) == 0) {
            std::istringstream fields(line.substr(name.size()));
            long double kb = 0.0L;
            if (fields >> kb) return kb * 1024.0L;
        }
    }
    return -1.0L;
}

long double MemAvailableBytes() {
    const long double available = ProcFieldBytes("/proc/meminfo", "MemAvailable:");
    if (available >= 0.0L) return available;
    const long pages = sysconf(_SC_AVPHYS_PAGES);
    const long page = sysconf(_SC_PAGESIZE);
    if (pages > 0 && page > 0) return static_cast<long double>(pages) * static_cast<long double>(page);
    return std::numeric_limits<long double>::max();
}

// What is left under a limit of the process: the limit less what the
// process already holds of it (`held`, a field of /proc/self/status).  The
// limit counts everything the process has mapped, its libraries and the
// matrices of the project among them, so the limit alone would promise
// memory that is not there.
long double LeftUnderLimit(int resource, const char* held) {
    rlimit limit{};
    if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return std::numeric_limits<long double>::max();
    }
    const long double used = std::max(0.0L, ProcFieldBytes("/proc/self/status", held));
    return std::max(0.0L, static_cast<long double>(limit.rlim_cur) - used);
}

}  // namespace

long double AvailableMemory() {
    return std::min({MemAvailableBytes(), LeftUnderLimit(RLIMIT_AS, "VmSize:"),
                     LeftUnderLimit(RLIMIT_DATA, "VmData:")});
}

bool CollectMeasurements(const Matice& list, const Matice& controlTable, const Matice& imageTable,
                         std::int32_t m, std::vector<ListMeasurement>& out) {
    out.clear();
    for (std::int32_t i = 1; i <= list.r; ++i) {
        for (std::int32_t col = 2; col + 1 <= list.s; col += 2) {
            const std::int64_t g = RoundId(list.GetPrvek(i, col + 1));
            if (g == 0) continue;
            const std::int64_t row = RoundId(list.GetPrvek(i, col));
            ListMeasurement meas;
            meas.point = i - 1;
            meas.number = list.GetPrvek(i, 1);
            if (g < 0) {
                if (-g > m || row < 1 || row > controlTable.r || controlTable.s < 6) return false;
                meas.image = static_cast<std::int32_t>(-g - 1);
                meas.control = true;
                meas.x = controlTable.GetPrvek(static_cast<std::int32_t>(row), 5);
                meas.y = controlTable.GetPrvek(static_cast<std::int32_t>(row), 6);
            } else {
                if (g > m || row < 1 || row > imageTable.r || imageTable.s < 3) return false;
                meas.image = static_cast<std::int32_t>(g - 1);
                meas.x = imageTable.GetPrvek(static_cast<std::int32_t>(row), 2);
                meas.y = imageTable.GetPrvek(static_cast<std::int32_t>(row), 3);
            }
            out.push_back(meas);
        }
    }
    return true;
}

}  // namespace pelvanor
