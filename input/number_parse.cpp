#include "input/number_parse.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <string>

#include "matrix/fp_guard.h"

// The syntax is checked here, character by character; only a text that is
// already known to be a plain decimal number reaches the conversion, so
// nothing the C library would also accept ("nan", "inf", "0x1p3", leading
// blanks, a locale's own separator) can slip through.
//
// Conversion: std::from_chars, which is correctly rounded for long double
// and ignores the C locale.  It reports result_out_of_range both for
// overflow and for results in the subnormal range.  Overflow is refused (a
// coordinate beyond 1.19e4932 is not a number this program can use); a
// result below the normal range is accepted as its correctly rounded
// subnormal value or zero, converted by strtold_l in a private "C" locale
// object so that the process locale still plays no part.

namespace pelvanor {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Checks [sign] digits [sep digits] [(e|E) [sign] digits] over the whole
// text, with at least one mantissa digit, and copies it to `plain` with "."
// as the separator.  `exponent10` receives a rough decimal exponent of the
// value (position of the first significant digit plus the written
// exponent), used only to tell overflow from underflow; `nonzero` whether
// any mantissa digit is not 0.
bool CheckSyntax(std::string_view text, char sep, std::string& plain, long long& exponent10, bool& nonzero) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    plain.clear();
    plain.reserve(n);
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-') plain += '-';
        ++i;
    }
    std::size_t mantissaDigits = 0;
    long long firstSignificant = 0;  // decimal exponent of the first nonzero digit
    long long intDigits = 0;
    nonzero = false;
    while (i < n && IsDigit(text[i])) {
        if (text[i] != '0' && !nonzero) nonzero = true;
        if (nonzero) ++intDigits;
        plain += text[i++];
        ++mantissaDigits;
    }
    firstSignificant = intDigits - 1;
    if (i < n && text[i] == sep) {
        plain += '.';
        ++i;
        long long position = -1;
        while (i < n && IsDigit(text[i])) {
            if (text[i] != '0' && !nonzero) {
                nonzero = true;
                firstSignificant = position;
            }
            plain += text[i++];
            ++mantissaDigits;
            --position;
        }
    }
    if (mantissaDigits == 0) return false;
    long long written = 0;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        plain += 'e';
        ++i;
        bool negative = false;
        if (i < n && (text[i] == '+' || text[i] == '-')) {
            negative = text[i] == '-';
            plain += text[i++];
        }
        std::size_t expDigits = 0;
        while (i < n && IsDigit(text[i])) {
            if (written < 1000000000LL) written = written * 10 + (text[i] - '0');
            plain += text[i++];
            ++expDigits;
        }
        if (expDigits == 0) return false;
        if (negative) written = -written;
    }
    if (i != n) return false;
    exponent10 = firstSignificant + written;
    return true;
}

locale_t CLocale() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return c;
}

bool Convert(std::string_view text, char sep, long double& value) {
    // Overflow or underflow raised while converting a rejected or subnormal
    // number is no fault of the caller's computation.
    FpScope keepCallerFlags;
    std::string plain;
    long long exponent10 = 0;
    bool nonzero = false;
    if (!CheckSyntax(text, sep, plain, exponent10, nonzero)) return false;
    long double v = 0.0L;
    const char* begin = plain.data();
    const char* end = plain.data() + plain.size();
    const auto res = std::from_chars(begin, end, v);
    if (res.ec == std::errc() && res.ptr == end) {
        value = v;
        return true;
    }
    if (res.ec != std::errc::result_out_of_range || res.ptr != end) return false;
    if (!nonzero || exponent10 > 0) return false;  // overflow
    // Below the normal range: the correctly rounded subnormal or zero.
    const locale_t c = CLocale();
    if (c == static_cast<locale_t>(nullptr)) return false;
    char* stop = nullptr;
    errno = 0;
    v = strtold_l(plain.c_str(), &stop, c);
    if (stop != end || !std::isfinite(v) || std::fabs(v) > 1.0L) return false;
    value = v;
    return true;
}

}  // namespace

std::string_view TrimBlanks(std::string_view text) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

bool ParseFileNumber(std::string_view text, long double& value) {
    if (text.empty() || text.size() > kMaxFileNumberLength) return false;
    return Convert(text, '.', value);
}

bool ParseFieldNumber(std::string_view text, char decimal, long double& value) {
    text = TrimBlanks(text);
    if (text.empty()) return false;
    return Convert(text, decimal, value);
}

}  // namespace pelvanor
