#pragma once
// The number formats of the protocols.  Every function takes the decimal
// separator to write (the window passes the locale's; "." in tests of the
// point locale).  No thousands separators are ever written.
//
// Rounding is done on the exact binary value; an exact tie at the last
// shown digit goes away from zero (1.0625 in "0.000" gives 1,063).  A
// negative value that rounds to zero is written without its minus sign
// (-0.0000001 in "0.000" gives 0,000).  Infinities and NaNs, which the
// computations never hand out, are written as "?", and so is every other
// 80-bit pattern that is not an ordinary number (unnormals,
// pseudo-denormals, pseudo-infinities and pseudo-NaNs).

#include <string>

namespace pelvanor {

// Shortest text with at most 15 significant digits, trailing zeros removed;
// scientific ("5,1E-5", "1E15") below 0.0001 and from 1e15 on.
std::string FormatGeneral(long double value, char decimal);
// Pattern of "0", "#", at most one "." and literal spaces: "  00#", "0.000",
// "0.000000", "0.0000000".  No sign is added.
std::string FormatPattern(const std::string& pattern, long double value, char decimal);
// The pattern format with "+" put in front unless the text begins with "-".
std::string FormatSigned(const std::string& pattern, long double value, char decimal);
// 15 significant digits, fixed point with exactly six decimals, signed.
std::string FixedSigned(long double value, char decimal);
// floor(log10 |value|) of the exact binary value, from its decimal digits
// (so the same on every processor); 0 for zero and for non-numbers.
int DecimalExponentOf(long double value);

}  // namespace pelvanor
