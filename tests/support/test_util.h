#pragma once
// Helpers shared by the tests.

#include <cmath>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "matrix/matice.h"

namespace pelvanor::test {

// Path of a file of the source tree.
std::string SourcePath(const std::string& relative);
// Path below tests/data/real (the real projects the tests use); empty when
// it is not there.
std::string RealDataPath(const std::string& relative);

// A fresh empty folder under the system's temporary folder, removed by the
// destructor.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    const std::filesystem::path& Dir() const { return dir_; }

private:
    std::filesystem::path dir_;
};

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

// Matrix from a brace list of rows.
MatPtr MakeMatrix(std::initializer_list<std::initializer_list<long double>> rows);

// |a - b| <= tol * max(1, |a|, |b|); false when either is not finite.
inline bool NearRel(long double a, long double b, long double tol) {
    if (!std::isfinite(a) || !std::isfinite(b)) return false;
    long double scale = std::fmax(1.0L, std::fmax(std::fabs(a), std::fabs(b)));
    return std::fabs(a - b) <= tol * scale;
}

// The files of `dir` whose names start with `prefix`, in byte order (the
// order the dialogs return a generated project's files in).
std::vector<std::string> FilesStartingWith(const std::string& dir, const std::string& prefix);

// The files as the arguments of a driver line: ` "a" "b"`.
std::string Quoted(const std::vector<std::string>& files);

// Same shape and every element equal in all 80 bits of the extended format.
bool SameTable(const Matice& a, const Matice& b);

}  // namespace pelvanor::test
