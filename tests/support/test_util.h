#pragma once
// Helpers shared by the tests.

#include <cmath>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

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

// Relative comparisons that explain a failure: used as
// EXPECT_TRUE(IsNearRel(x, 2.0L, 1e-15L)), a failure prints both values to
// all 21 significant digits of the extended format, their difference and
// the allowed bound.
//
// Passes when |a - b| <= tol * max(1, |a|, |b|) (an absolute tolerance
// below magnitude one).  A value that is not finite never passes, not even
// the same infinity on both sides: here an inf or a nan is always a
// floating-point fault of the code under test, and it is named as such.
::testing::AssertionResult IsNearRel(long double a, long double b, long double tol);

// Element by element IsNearRel over two arrays of the same length; a
// failure names every index that differs (the first ten) with both values.
::testing::AssertionResult ArraysNearRel(std::span<const long double> a, std::span<const long double> b,
                                         long double tol);

// Characters (code points) of a UTF-8 text: the width of a protocol line.
std::size_t Utf8Characters(const std::string& text);

// The files of `dir` whose names start with `prefix`, in byte order (the
// order the dialogs return a generated project's files in).
std::vector<std::string> FilesStartingWith(const std::string& dir, const std::string& prefix);

// The files as the arguments of a driver line: ` "a" "b"`.
std::string Quoted(const std::vector<std::string>& files);

// Same shape and every element equal in all 80 bits of the extended format;
// a failure names the shapes or the first element that differs.
::testing::AssertionResult SameTable(const Matice& a, const Matice& b);

}  // namespace pelvanor::test
