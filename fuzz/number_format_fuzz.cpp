// Fuzz target: the protocol number formats on arbitrary long double bit
// patterns (including the x87 encodings no computation produces).  They must
// not crash or hang, must never write "inf" or "nan", and a finite number
// must come out as text that reads back close to it.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/fuzz_checks.h"
#include "fuzz/fuzz_files.h"
#include "input/number_parse.h"
#include "protocol/number_format.h"

using namespace pelvanor;
using namespace pelvanor::fuzz;

namespace {

// Reading the text back rounds once more, by up to half a unit of the last
// place of a long double (2^-64 relative), plus the rounding of the
// tolerance itself.
constexpr long double kReadBack = 2.2e-19L;

bool HasInfOrNan(const std::string& s) {
    std::string lower;
    for (char c : s) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return lower.find("inf") != std::string::npos || lower.find("nan") != std::string::npos;
}

// Reads a protocol number back in file notation; false when it is not one.
bool ReadBack(std::string text, char decimal, long double& v) {
    for (char& c : text)
        if (c == decimal) c = '.';
    while (!text.empty() && text.front() == ' ') text.erase(0, 1);
    if (!text.empty() && text.front() == '+') text.erase(0, 1);
    return ParseFileNumber(text, v);
}

void CheckText(const std::string& s, const char* what) {
    if (HasInfOrNan(s)) Fail(what);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 11) return 0;
    long double value = 0.0L;
    std::memcpy(&value, data, 10);
    const char decimal = (data[10] & 1) ? ',' : '.';

    // The patterns the protocols use, then one built from the rest of the
    // input out of "0", "#", " " and at most one ".".
    std::string patterns[5] = {"  00#", "0.000", "0.000000", "0.0000000", ""};
    bool point = false;
    for (std::size_t i = 11; i < size && patterns[4].size() < 24; ++i) {
        const char c = "0# ."[data[i] & 3];
        if (c == '.' && point) continue;
        point = point || c == '.';
        patterns[4] += c;
    }

    const bool ordinary = IsOrdinary(value);
    const bool nonNumber = IsNonNumber(value);
    const std::string general = FormatGeneral(value, decimal);
    CheckText(general, "FormatGeneral writes inf or nan");
    Check(!general.empty(), "FormatGeneral writes nothing");
    if (nonNumber) Check(general == "?", "FormatGeneral writes a number for a non-number");
    if (ordinary) {
        long double back = 0.0L;
        Check(ReadBack(general, decimal, back), "FormatGeneral writes a text that is not a number");
        // 15 significant digits: half a unit of the 15th digit, relative.
        Check(std::fabs(back - value) <= (5e-15L + kReadBack) * std::fabs(value),
              "FormatGeneral is not within 15 significant digits");
    }

    const std::string fixed = FixedSigned(value, decimal);
    CheckText(fixed, "FixedSigned writes inf or nan");
    Check(fixed[0] == '+' || fixed[0] == '-', "FixedSigned writes no sign");
    if (nonNumber) Check(fixed == "+?", "FixedSigned writes a number for a non-number");
    if (ordinary) {
        long double back = 0.0L;
        Check(ReadBack(fixed, decimal, back), "FixedSigned writes a text that is not a number");
        const long double tolerance =
            std::fmax(5e-7L, 5e-15L * std::fabs(value)) + kReadBack * std::fabs(value);
        Check(std::fabs(back - value) <= tolerance, "FixedSigned is off by more than its rounding");
    }

    for (const std::string& pattern : patterns) {
        const std::string plain = FormatPattern(pattern, value, decimal);
        const std::string signed_ = FormatSigned(pattern, value, decimal);
        CheckText(plain, "FormatPattern writes inf or nan");
        CheckText(signed_, "FormatSigned writes inf or nan");
        if (pattern.find_first_of("0#") == std::string::npos) continue;
        Check(signed_[0] == '+' || signed_[0] == '-', "FormatSigned writes no sign");
        if (nonNumber) Check(plain.find('?') != std::string::npos, "FormatPattern writes a number for a non-number");
        if (!ordinary) continue;
        if (std::fabs(value) >= 1e40L) continue;  // hundreds of digits: beyond the file syntax
        // Decimals the pattern shows: its placeholders after the ".".
        int decimals = 0;
        const std::size_t dot = pattern.find('.');
        if (dot != std::string::npos)
            for (std::size_t i = dot + 1; i < pattern.size(); ++i)
                if (pattern[i] == '0' || pattern[i] == '#') ++decimals;
        std::string number;
        for (char c : plain)
            if (c != ' ') number += c;
        long double back = 0.0L;
        if (number.empty() || number == "-") number += '0';  // "#" patterns may write nothing for 0
        Check(ReadBack(number, decimal, back), "FormatPattern writes a text that is not a number");
        const long double tolerance = 0.5L * std::pow(10.0L, -decimals) + kReadBack * std::fabs(value);
        Check(std::fabs(back - value) <= tolerance, "FormatPattern is off by more than its rounding");
    }
    return 0;
}
