#include "protocol/number_format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>

// All formats start from the exact binary value of the long double.
// std::to_chars gives correctly rounded decimal text for it, independent of
// the C locale, but resolves an exact tie to the even digit.  We round exact
// ties half away from zero instead (1.0625 in "0.000" gives 1,063, 0.5 in
// "  00#" gives 001), which is what a reader of a protocol expects; ties are
// detected exactly from the binary representation, so no value that merely
// prints as ...5 is affected.
//
// A negative value that rounds to zero is written without its minus sign
// (-0.0000001 in "0.000" gives 0,000, and FormatSigned makes it +0,000), so
// a column of signed numbers never shows "-0,000".  Negative zero is zero.
//
// The functions are never handed infinities or NaNs (every computation
// stops on a floating-point fault); should one arrive anyway it is written
// as "?" rather than as a number, and so is every other bit pattern that is
// not an ordinary number (see OrdinaryNumber).  The texts of std::to_chars
// are read defensively: a search that finds nothing ends the reading.

namespace pelvanor {
namespace {

constexpr int kSignificant = 15;

// True for zero, a normal number and a denormal in the encoding arithmetic
// and conversions produce.  The x87 80-bit format stores its integer bit
// explicitly, so it has encodings no computation yields: unnormals (a
// nonzero exponent with the integer bit clear), pseudo-denormals (exponent
// 0 with the integer bit set), pseudo-infinities and pseudo-NaNs (the
// largest exponent with the integer bit clear).  The hardware rejects most
// of them as invalid operands and the library functions disagree on the
// rest (std::to_chars writes an unnormal without an exponent), so they are
// no numbers here; neither are infinities and NaNs.  Other long double
// formats have no such encodings: there finite is ordinary.
bool OrdinaryNumber(long double value) {
    if constexpr (std::numeric_limits<long double>::digits == 64 &&
                  std::numeric_limits<long double>::max_exponent == 16384) {
        unsigned char bytes[sizeof(long double)] = {};
        std::memcpy(bytes, &value, sizeof value);
        std::uint64_t mantissa = 0;
        std::memcpy(&mantissa, bytes, sizeof mantissa);
        const unsigned exponent = (static_cast<unsigned>(bytes[9] & 0x7Fu) << 8) | bytes[8];
        const bool integerBit = (mantissa >> 63) != 0;
        if (exponent == 0x7FFFu) return false;
        return exponent == 0 ? !integerBit : integerBit;
    } else {
        return std::isfinite(value);
    }
}

// The decimal exponent after the "e" of a scientific text of std::to_chars;
// false when the text has none.
bool ExponentOf(std::string_view text, std::size_t& e, int& exponent) {
    e = text.find('e');
    if (e == std::string_view::npos || e + 1 >= text.size()) return false;
    const std::size_t start = e + 1 + (text[e + 1] == '+' ? 1 : 0);
    exponent = 0;
    return std::from_chars(text.data() + start, text.data() + text.size(), exponent).ec == std::errc();
}

// Decomposes a finite nonzero |v| as m * 2^q with m odd.
void OddMantissa(long double v, std::uint64_t& m, int& q) {
    int e = 0;
    const long double frac = std::frexp(std::fabs(v), &e);  // [0.5, 1)
    m = static_cast<std::uint64_t>(std::ldexp(frac, 64));
    q = e - 64;
    while ((m & 1u) == 0) {
        m >>= 1;
        ++q;
    }
}

// True when |v| lies exactly halfway between two multiples of 10^-d, that
// is when 2 * |v| * 10^d is an odd integer.  d may be negative.
bool IsExactTie(long double v, int d) {
    if (v == 0.0L || !std::isfinite(v)) return false;
    std::uint64_t m = 0;
    int q = 0;
    OddMantissa(v, m, q);
    if (d >= 0) {
        // m * 5^d is odd, so the product is an odd integer iff the power of
        // two vanishes.
        return q + 1 + d == 0;
    }
    // 2 * m * 2^q / (2^k * 5^k) with k = -d: needs 5^k | m and q + 1 == k.
    const int k = -d;
    if (q + 1 != k || k > 27) return false;
    std::uint64_t p = 1;
    for (int i = 0; i < k; ++i) p *= 5u;
    return m % p == 0;
}

// Adds one unit of the last digit to a text of decimal digits with at most
// one ".", carrying ("9.99" gives "10.00").
void IncrementLastDigit(std::string& text) {
    for (std::size_t i = text.size(); i-- > 0;) {
        if (text[i] == '.') continue;
        if (text[i] != '9') {
            ++text[i];
            return;
        }
        text[i] = '0';
    }
    text.insert(0, 1, '1');
}

// Decimal exponent of the exact value: floor(log10 |v|), for v != 0.  Read
// from 26 significant digits, which cannot carry into the next power of ten
// unless the value is that power (a long double holds about 19.3 digits).
// Ordinary values only; 0 for a text without an exponent.
int DecimalExponent(long double absValue) {
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, absValue, std::chars_format::scientific, 25);
    if (res.ec != std::errc()) return 0;
    std::size_t e = 0;
    int x = 0;
    return ExponentOf(std::string_view(buf, static_cast<std::size_t>(res.ptr - buf)), e, x) ? x : 0;
}

// |v| rounded to `sig` significant digits: the digits (exactly `sig` of
// them) and the decimal exponent of the first one.
void Significant(long double absValue, int sig, std::string& digits, int& exponent) {
    const int before = DecimalExponent(absValue);
    // An exact tie is written with one digit more, which shows it exactly
    // (its last digit a 5), and rounded up by hand.
    const bool tie = IsExactTie(absValue, sig - 1 - before);
    char buf[64];
    const auto res =
        std::to_chars(buf, buf + sizeof buf, absValue, std::chars_format::scientific, tie ? sig : sig - 1);
    const std::string_view text(buf, res.ec == std::errc() ? static_cast<std::size_t>(res.ptr - buf) : 0);
    std::size_t e = 0;
    exponent = 0;
    digits.clear();
    if (!ExponentOf(text, e, exponent)) {
        // Not reached for ordinary values; a text without an exponent gives
        // zeros rather than a position past its end.
        digits.assign(static_cast<std::size_t>(sig), '0');
        return;
    }
    for (std::size_t i = 0; i < e; ++i)
        if (text[i] != '.') digits += text[i];
    if (tie) {
        digits.pop_back();
        IncrementLastDigit(digits);
        if (static_cast<int>(digits.size()) > sig) {  // 99..95 became 100..0
            digits.pop_back();
            ++exponent;
        }
    }
}

// |v| rounded to `decimals` decimals (>= 0), as digits with "." (no "."
// when decimals is 0).
std::string FixedAbs(long double absValue, int decimals) {
    // An exact tie is written with one decimal more, which shows it exactly
    // (its last digit a 5), and rounded up by hand.  (Nudging the value to
    // the next long double instead would cross the next rounding boundary
    // where the spacing of long doubles exceeds 10^-decimals.)
    const bool tie = IsExactTie(absValue, decimals);
    const int shown = tie ? decimals + 1 : decimals;
    // Up to 4933 digits before the point for the largest long double.
    std::string buf(5000 + static_cast<std::size_t>(shown), '\0');
    const auto res =
        std::to_chars(buf.data(), buf.data() + buf.size(), absValue, std::chars_format::fixed, shown);
    buf.resize(res.ec == std::errc() ? static_cast<std::size_t>(res.ptr - buf.data()) : 0);
    if (buf.empty()) return "0";
    if (tie) {
        buf.pop_back();
        if (decimals == 0) buf.pop_back();  // the "."
        IncrementLastDigit(buf);
    }
    return buf;
}

bool AllZeroDigits(std::string_view text) {
    for (char c : text)
        if (c >= '1' && c <= '9') return false;
    return true;
}

// Scientific form of the general format from rounded digits.
std::string Scientific(std::string digits, int exponent, char decimal) {
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    std::string out(1, digits[0]);
    if (digits.size() > 1) {
        out += decimal;
        out.append(digits, 1, std::string::npos);
    }
    out += 'E';
    out += std::to_string(exponent);
    return out;
}

}  // namespace

std::string FormatGeneral(long double value, char decimal) {
    if (!OrdinaryNumber(value)) return "?";
    if (value == 0.0L) return "0";
    const bool negative = value < 0.0L;
    std::string digits;
    int x = 0;
    Significant(std::fabs(value), kSignificant, digits, x);
    std::string body;
    if (x < -4 || x >= kSignificant) {
        body = Scientific(digits, x, decimal);
    } else {
        while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
        const int n = static_cast<int>(digits.size());
        if (x < 0) {
            body = "0";
            body += decimal;
            body.append(static_cast<std::size_t>(-x - 1), '0');
            body += digits;
        } else if (n <= x + 1) {
            body = digits;
            body.append(static_cast<std::size_t>(x + 1 - n), '0');
        } else {
            body = digits.substr(0, static_cast<std::size_t>(x + 1));
            body += decimal;
            body.append(digits, static_cast<std::size_t>(x + 1), std::string::npos);
        }
    }
    return negative ? "-" + body : body;
}

std::string FormatPattern(const std::string& pattern, long double value, char decimal) {
    // Layout of the pattern: literals before the first placeholder, the
    // placeholders (with at most one "."), literals after the last one.
    if (pattern.find_first_of("0#") == std::string::npos) return pattern;
    // A "." before the first placeholder (".##") is the decimal separator,
    // not a literal: the number starts there.
    const std::size_t first = pattern.find_first_of("0#.");
    const std::size_t last = pattern.find_last_of("0#.");
    std::string_view body(pattern.data() + first, last + 1 - first);
    const std::size_t point = body.find('.');
    std::string_view intPart = body.substr(0, point);
    std::string_view fracPart = point == std::string_view::npos ? std::string_view() : body.substr(point + 1);

    int minInt = 0;  // placeholders from the first "0" up to the separator
    const std::size_t firstZero = intPart.find('0');
    if (firstZero != std::string_view::npos)
        for (std::size_t i = firstZero; i < intPart.size(); ++i)
            if (intPart[i] == '0' || intPart[i] == '#') ++minInt;
    int decimals = 0;
    int minDecimals = 0;  // up to the last "0" after the separator
    for (char c : fracPart) {
        if (c == '0' || c == '#') ++decimals;
        if (c == '0') minDecimals = decimals;
    }

    std::string number;
    if (!OrdinaryNumber(value)) {
        number = "?";
    } else {
        std::string fixed = FixedAbs(std::fabs(value), decimals);
        const std::size_t dot = fixed.find('.');
        std::string whole = fixed.substr(0, dot);
        std::string frac = dot == std::string::npos ? std::string() : fixed.substr(dot + 1);
        while (static_cast<int>(frac.size()) > minDecimals && frac.back() == '0') frac.pop_back();
        if (minInt == 0 && whole == "0") whole.clear();
        if (static_cast<int>(whole.size()) < minInt)
            whole.insert(0, static_cast<std::size_t>(minInt) - whole.size(), '0');
        const bool negative = value < 0.0L && !AllZeroDigits(fixed);
        number = negative ? "-" : "";
        number += whole;
        if (!frac.empty()) {
            number += decimal;
            number += frac;
        }
    }
    // Literal characters among the placeholders are written after the number.
    std::string interior;
    for (char c : body)
        if (c != '0' && c != '#' && c != '.') interior += c;
    return pattern.substr(0, first) + number + interior + pattern.substr(last + 1);
}

std::string FormatSigned(const std::string& pattern, long double value, char decimal) {
    std::string text = FormatPattern(pattern, value, decimal);
    if (text.empty() || text[0] != '-') text.insert(0, 1, '+');
    return text;
}

std::string FixedSigned(long double value, char decimal) {
    std::string text;
    if (!OrdinaryNumber(value)) {
        text = "?";
    } else if (value == 0.0L) {
        text = std::string("0") + decimal + "000000";
    } else {
        // One rounding at min(6 decimals, 15 significant digits); decimals
        // beyond the 15 significant digits are written as zeros.
        const long double a = std::fabs(value);
        const int x = DecimalExponent(a);
        const int decimals = std::min(6, kSignificant - 1 - x);
        std::string fixed;
        std::size_t wholeDigits = 0;
        if (decimals >= 0) {
            fixed = FixedAbs(a, decimals);
            wholeDigits = fixed.find('.') == std::string::npos ? fixed.size() : fixed.find('.');
        }
        if (decimals < 0 || wholeDigits > static_cast<std::size_t>(kSignificant)) {
            text = FormatGeneral(a, decimal);
        } else {
            const std::size_t dot = fixed.find('.');
            std::string whole = fixed.substr(0, dot);
            std::string frac = dot == std::string::npos ? std::string() : fixed.substr(dot + 1);
            frac.append(6 - frac.size(), '0');
            text = whole + decimal + frac;
        }
        if (value < 0.0L && !AllZeroDigits(text)) text.insert(0, 1, '-');
    }
    if (text[0] != '-') text.insert(0, 1, '+');
    return text;
}

int DecimalExponentOf(long double value) {
    if (!OrdinaryNumber(value) || value == 0.0L) return 0;
    return DecimalExponent(std::fabs(value));
}

}  // namespace pelvanor
