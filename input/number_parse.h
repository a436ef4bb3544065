#pragma once
// Number parsers.  Both read into long double exactly (correctly rounded),
// never through double, and never depend on the C library's locale.

#include <cstddef>
#include <string_view>

namespace pelvanor {

// The longest number an input file may hold, in characters.
inline constexpr std::size_t kMaxFileNumberLength = 64;

// Blanks (spaces and tabs) are what separate numbers; this is `text`
// without those around it.
std::string_view TrimBlanks(std::string_view text);

// A number of an input file: optional sign, digits with "." as the decimal
// separator, optional exponent; at most 64 characters.  Rejects everything
// else ("nan", "inf", hexadecimal, a decimal comma, overflow of long double).
bool ParseFileNumber(std::string_view text, long double& value);

// A number typed into a window field: leading and trailing blanks allowed,
// optional sign, the locale's decimal separator `decimal` only, optional
// exponent introduced by "E" or "e", no thousands separators.
bool ParseFieldNumber(std::string_view text, char decimal, long double& value);

}  // namespace pelvanor
