// Fuzz target: the number parsers of the input files and the window fields,
// checked against the C library's correctly rounded strtold in the "C"
// locale on texts of the accepted syntax.

#include <cerrno>
#include <cfenv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <locale.h>
#include <string>
#include <string_view>

#include "fuzz/fuzz_checks.h"
#include "fuzz/fuzz_files.h"
#include "input/number_parse.h"

using namespace pelvanor;
using namespace pelvanor::fuzz;

namespace {

bool Digit(char c) { return c >= '0' && c <= '9'; }

// [+-] digits [. digits] [(e|E) [+-] digits], at least one mantissa digit.
bool PlainDecimal(std::string_view t) {
    std::size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < t.size() && Digit(t[i])) ++i, ++digits;
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && Digit(t[i])) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
        std::size_t e = 0;
        while (i < t.size() && Digit(t[i])) ++i, ++e;
        if (e == 0) return false;
    }
    return i == t.size();
}

long double Reference(const std::string& t, bool& finite) {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    if (c == static_cast<locale_t>(nullptr)) Fail("no C locale");
    char* stop = nullptr;
    const long double v = strtold_l(t.c_str(), &stop, c);
    finite = std::isfinite(v) && stop == t.c_str() + t.size();
    return v;
}

std::string_view Trim(std::string_view t) {
    while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
    return t;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // First byte: the separator of the field parser and whether the caller
    // had floating-point flags raised before the call.
    const char decimal = (data[0] & 1) ? ',' : '.';
    const bool callerFlags = (data[0] & 2) != 0;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

    std::feclearexcept(FE_ALL_EXCEPT);
    if (callerFlags) std::feraiseexcept(FE_INEXACT | FE_UNDERFLOW);
    long double fileValue = 0.0L;
    const bool fileOk = ParseFileNumber(text, fileValue);
    Check(std::fetestexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW) == 0,
          "ParseFileNumber leaves a fault flag raised");
    if (callerFlags)
        Check(std::fetestexcept(FE_UNDERFLOW) != 0, "ParseFileNumber clears the caller's flags");

    const bool syntax = text.size() <= 64 && PlainDecimal(text);
    bool refFinite = false;
    const long double ref = syntax ? Reference(text, refFinite) : 0.0L;
    if (fileOk) {
        Check(syntax, "ParseFileNumber accepts a text outside the file number syntax");
        Check(IsOrdinary(fileValue), "ParseFileNumber gives a value that is not a finite number");
        Check(refFinite && SameBits(fileValue, ref), "ParseFileNumber does not round like strtold");
    } else {
        Check(!(syntax && refFinite), "ParseFileNumber refuses a finite number of the file syntax");
    }

    std::feclearexcept(FE_ALL_EXCEPT);  // strtold raises overflow for the reference
    long double fieldValue = 0.0L;
    const bool fieldOk = ParseFieldNumber(text, decimal, fieldValue);
    Check(std::fetestexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW) == 0,
          "ParseFieldNumber leaves a fault flag raised");
    if (fieldOk) Check(IsOrdinary(fieldValue), "ParseFieldNumber gives a value that is not a finite number");
    const std::string_view trimmed = Trim(text);
    if (decimal == ',' && trimmed.find('.') != std::string_view::npos) {
        Check(!fieldOk, "ParseFieldNumber accepts a point where the separator is a comma");
    } else if (trimmed.size() <= 64) {
        // The same number in file notation must read the same.
        std::string asFile(trimmed);
        for (char& ch : asFile)
            if (ch == decimal) ch = '.';
        long double v = 0.0L;
        const bool ok = ParseFileNumber(asFile, v);
        std::feclearexcept(FE_ALL_EXCEPT);
        Check(ok == fieldOk, "field and file parsers disagree on whether a number is one");
        if (ok) Check(SameBits(v, fieldValue), "field and file parsers disagree on a value");
    }
    return 0;
}
