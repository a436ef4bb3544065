#pragma once
// Number parsers.  Both read into long double exactly (correctly rounded),
// never through double, and never depend on the C library's locale.

#include <string_view>

namespace pelvanor {

// A number of an input file: optional sign, digits with "." as the decimal
// separator, optional exponent; at most 64 characters.  Rejects everything
// else ("nan", "inf", hexadecimal, a decimal comma, overflow of long double).
bool ParseFileNumber(std::string_view text, long double& value);

// A number typed into a window field: leading and trailing blanks allowed,
// optional sign, the locale's decimal separator `decimal` only, optional
// exponent introduced by "E" or "e", no thousands separators.
bool ParseFieldNumber(std::string_view text, char decimal, long double& value);

}  // namespace pelvanor
