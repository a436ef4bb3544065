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

// A point number stored as a real: rounded to nearest (ties to even), low 32
// bits taken as a signed integer.
std::int32_t RoundId(long double value);

// Last row whose rounded column 1 equals id (0 when none); false for a null M.
bool FindRow(std::int32_t id, const Matice* M, std::int32_t& row);
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
