#pragma once
// The number formats of the protocols.  Every function takes the decimal
// separator to write (the window passes the locale's; "." in tests of the
// point locale).  No thousands separators are ever written.

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

}  // namespace pelvanor
