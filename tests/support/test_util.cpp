#include "tests/support/test_util.h"

#include <algorithm>
#include <filesystem>

#include <atomic>
#include <cmath>
#include <cstring>
#include <iomanip>
#include <fstream>
#include <random>
#include <sstream>
#include <unistd.h>

namespace pelvanor::test {

std::string SourcePath(const std::string& relative) {
    return std::string(PELVANOR_SOURCE_DIR) + "/" + relative;
}

std::string RealDataPath(const std::string& relative) {
    std::filesystem::path p = std::filesystem::path(PELVANOR_SOURCE_DIR) / "tests" / "data" / "real" / relative;
    return std::filesystem::exists(p) ? p.string() : std::string();
}

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    std::random_device rd;
    dir_ = std::filesystem::temp_directory_path() /
           ("pelvanor-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" +
            std::to_string(rd()));
    std::filesystem::create_directories(dir_);
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

MatPtr MakeMatrix(std::initializer_list<std::initializer_list<long double>> rows) {
    std::size_t cols = rows.size() ? rows.begin()->size() : 0;
    auto m = NewMatrix(static_cast<std::uint16_t>(rows.size()), static_cast<std::uint16_t>(cols));
    int i = 1;
    for (const auto& row : rows) {
        int j = 1;
        for (long double v : row) m->SetPrvek(i, j++, v);
        ++i;
    }
    return m;
}

std::size_t Utf8Characters(const std::string& text) {
    std::size_t n = 0;
    for (unsigned char c : text)
        if ((c & 0xC0u) != 0x80u) ++n;  // every byte but the continuation bytes 10xxxxxx
    return n;
}

std::vector<std::string> FilesStartingWith(const std::string& dir, const std::string& prefix) {
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.path().filename().string().rfind(prefix, 0) == 0) files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

std::string Quoted(const std::vector<std::string>& files) {
    std::string text;
    for (const std::string& f : files) text += " \"" + f + "\"";
    return text;
}

namespace {

// All the digits that tell two extended-precision values apart.
std::string Digits(long double v) {
    std::ostringstream out;
    out << std::setprecision(21) << v;
    return out.str();
}

// Why a and b are not near: empty when they are.
std::string NotNearBecause(long double a, long double b, long double tol) {
    if (!std::isfinite(a) || !std::isfinite(b))
        return Digits(a) + " and " + Digits(b) + ": not a finite number (a floating-point fault)";
    const long double scale = std::fmax(1.0L, std::fmax(std::fabs(a), std::fabs(b)));
    const long double difference = std::fabs(a - b);
    if (difference <= tol * scale) return {};
    return Digits(a) + " and " + Digits(b) + " differ by " + Digits(difference) + ", more than " +
           Digits(tol) + " x " + Digits(scale);
}

}  // namespace

::testing::AssertionResult IsNearRel(long double a, long double b, long double tol) {
    const std::string why = NotNearBecause(a, b, tol);
    if (why.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << why;
}

::testing::AssertionResult ArraysNearRel(std::span<const long double> a, std::span<const long double> b,
                                         long double tol) {
    if (a.size() != b.size())
        return ::testing::AssertionFailure() << "lengths differ: " << a.size() << " and " << b.size();
    std::size_t failed = 0;
    std::ostringstream report;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const std::string why = NotNearBecause(a[i], b[i], tol);
        if (why.empty()) continue;
        if (failed < 10) report << "\n  [" << i << "] " << why;
        ++failed;
    }
    if (failed == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << failed << " of " << a.size() << " elements differ:" << report.str();
}

::testing::AssertionResult SameTable(const Matice& a, const Matice& b) {
    if (a.r != b.r || a.s != b.s)
        return ::testing::AssertionFailure() << "shapes differ: " << a.r << " x " << a.s << " and " << b.r << " x "
                                             << b.s;
    for (int i = 1; i <= a.r; ++i)
        for (int j = 1; j <= a.s; ++j)
            if (std::memcmp(a.Row(i) + (j - 1), b.Row(i) + (j - 1), 10) != 0)
                return ::testing::AssertionFailure() << "element (" << i << ", " << j << "): " << Digits(a.GetPrvek(i, j))
                                                     << " and " << Digits(b.GetPrvek(i, j)) << " differ in their bits";
    return ::testing::AssertionSuccess();
}

}  // namespace pelvanor::test
