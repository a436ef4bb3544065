#pragma once
// Whole-matrix arithmetic and the table utilities used on point tables
// (column 1 holds a point number).  The five arithmetic operations never
// guard themselves: faults and std::bad_alloc pass to the calling
// computation (see fp_guard.h).

#include <cstdint>

#include "matrix/matice.h"

namespace pelvanor {

MatPtr MatCopy(const Matice& A);
MatPtr MatScale(const Matice& A, long double s);
MatPtr MatTranspose(const Matice& A);
MatPtr MatAdd(const Matice& A, const Matice& B);
// Null when A's column count differs from B's row count.  Element (i,j) is
// summed for k = 1..K as A(i,k)*B(k,j) + sum, in extended precision.
MatPtr MatMul(const Matice& A, const Matice& B);

// A point number (or a row, image or count stored as a real): rounded to
// nearest (ties to even), whole.  Every integer of magnitude below 2^63 is
// held exactly, so two point numbers compare equal only when they are the
// same number; a value beyond 64 bits (which the loaders refuse) raises
// the invalid-operation fault.
std::int64_t RoundId(long double value);

// The largest magnitude of a point number the program compares exactly,
// 2^63 - 1 (held exactly by the 64-bit mantissa); the loaders refuse files
// holding a larger one.
inline constexpr long double kLargestPointNumber = 9223372036854775807.0L;

// Last row whose rounded column 1 equals id (0 when none); false for a null M.
bool FindRow(std::int64_t id, const Matice* M, std::int32_t& row);
// Copies Src(srcRowFirst+p, srcColFirst+q) to Dest(destRow+p, destCol+q),
// columns outer, rows inner; false at the first position outside either
// matrix (elements copied before it stay written).
bool CopyBlock(Matice& Dest, std::int32_t destRow, std::int32_t destCol, const Matice& Src,
               std::int32_t srcRowFirst, std::int32_t srcRowLast, std::int32_t srcColFirst,
               std::int32_t srcColLast);
// Replaces M by the rows whose rounded id is positive, in order; by the 1 x 1
// zero matrix when none is kept (then returns false).
bool CompactRows(MatPtr& M);
// Result (1 x 3) = V * (L / |V|); false for a zero vector (Result then holds
// zeros and belongs to the caller).
bool ScaleToLength(const Matice& V, MatPtr& Result, long double L);

}  // namespace pelvanor
