#pragma once
// Matice: the one container of numbers in the program.  Dense, 1-based,
// row-major, 80-bit extended elements, 16-bit unsigned dimensions.
//
// Ownership: a function that creates a matrix hands it to its caller as a
// MatPtr (an owning handle) through an output parameter or a return value;
// raw pointers never own.  A null MatPtr is "no matrix".

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "matrix/invariant.h"

namespace pelvanor {

class Matice;
using MatPtr = std::unique_ptr<Matice>;

class Matice {
public:
    // Create: r x s elements, all 0.
    Matice(std::uint16_t r, std::uint16_t s);
    ~Matice() = default;
    Matice(const Matice&) = default;
    Matice& operator=(const Matice&) = default;

    static MatPtr Create(std::uint16_t r, std::uint16_t s);

    // Sets the size; elements whose row and column exist in both sizes keep
    // their values, new elements are 0.
    void Velikost(std::uint16_t r, std::uint16_t s);

    // Unchecked access: the caller guarantees 1 <= i <= r, 1 <= j <= s
    // (asserted in the checked builds).
    long double GetPrvek(std::int32_t i, std::int32_t j) const {
        PELVANOR_ASSERT(i >= 1 && i <= r && j >= 1 && j <= s);
        return prvky[static_cast<std::size_t>(i - 1) * s + static_cast<std::size_t>(j - 1)];
    }
    void SetPrvek(std::int32_t i, std::int32_t j, long double value) {
        PELVANOR_ASSERT(i >= 1 && i <= r && j >= 1 && j <= s);
        prvky[static_cast<std::size_t>(i - 1) * s + static_cast<std::size_t>(j - 1)] = value;
    }

    // Checked access: false (and nothing read or written) for a row or column
    // of 0 or beyond the size.
    bool CtiPrvek(std::uint16_t r, std::uint16_t s, long double& hodnota) const;
    bool ZapisPrvek(std::uint16_t r, std::uint16_t s, long double hodnota);

    // Dump with "Snimek k" headers before the first row of every image block;
    // `pocet` holds the first row of image k's block in column 1.  With
    // `prepis` the existing file is appended to (it must exist), otherwise
    // the file is created or replaced.  Throws FileError.
    void VypisDoSouboruPocet(bool prepis, const std::string& jmeno, const Matice& pocet) const;
    // Appends the matrix to the existing file `jmeno`.  Throws FileError.
    void VypisDoSouboru(const std::string& jmeno) const;

    // The rows as text in the dump format (CR LF line ends, "." always).
    std::string DumpText() const;
    std::string DumpTextWithHeaders(const Matice& pocet) const;

    // Row i (1-based) as a contiguous array of s elements, for fast kernels.
    long double* Row(std::int32_t i) {
        PELVANOR_ASSERT(i >= 1 && i <= r);
        return prvky.data() + static_cast<std::size_t>(i - 1) * s;
    }
    const long double* Row(std::int32_t i) const {
        PELVANOR_ASSERT(i >= 1 && i <= r);
        return prvky.data() + static_cast<std::size_t>(i - 1) * s;
    }

    std::uint16_t r = 0;  // rows
    std::uint16_t s = 0;  // columns
    std::vector<long double> prvky;  // row-major, (i, j) at (i-1)*s + (j-1)
};

// Creates an r x s zero matrix.
MatPtr NewMatrix(std::uint16_t rows, std::uint16_t cols);
// False for a null reference (outputs unchanged).
bool GetSize(const Matice* m, std::uint16_t& rows, std::uint16_t& cols);
bool WriteElement(Matice* m, std::uint16_t row, std::uint16_t col, long double value);
// `ok` receives the result of CtiPrvek; the value must not be used when false.
long double ReadElement(const Matice* m, std::uint16_t row, std::uint16_t col, bool& ok);

// True when n can be a row or column count (0..65535).
inline bool FitsMatrixSize(long long n) { return n >= 0 && n <= 65535; }

// One element in the dump format: right-aligned in 15 characters (wider when
// needed), 0 decimals for column 1 and 5 otherwise, "." always.
std::string DumpNumber(long double value, int decimals);

}  // namespace pelvanor
