#include "tests/support/test_util.h"

#include <algorithm>
#include <filesystem>

#include <atomic>
#include <cstring>
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

bool SameTable(const Matice& a, const Matice& b) {
    if (a.r != b.r || a.s != b.s) return false;
    for (int i = 1; i <= a.r; ++i)
        for (int j = 1; j <= a.s; ++j)
            if (std::memcmp(a.Row(i) + (j - 1), b.Row(i) + (j - 1), 10) != 0) return false;
    return true;
}

}  // namespace pelvanor::test
