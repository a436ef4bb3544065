#include "protocol/number_format.h"

#include <clocale>
#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

namespace pelvanor {
namespace {

// Each expectation is written with "," and checked with both separators.
std::string WithPoint(std::string text) {
    for (char& c : text)
        if (c == ',') c = '.';
    return text;
}

#define EXPECT_BOTH(call_with_sep, expected)                                  \
    do {                                                                      \
        {                                                                     \
            const char sep = ',';                                             \
            EXPECT_EQ(call_with_sep, std::string(expected));                  \
        }                                                                     \
        {                                                                     \
            const char sep = '.';                                             \
            EXPECT_EQ(call_with_sep, WithPoint(expected));                    \
        }                                                                     \
    } while (0)

TEST(FormatGeneral, PlainNumbersUpToFifteenDigits) {
    EXPECT_BOTH(FormatGeneral(20.0L, sep), "20");
    EXPECT_BOTH(FormatGeneral(0.1L, sep), "0,1");
    EXPECT_BOTH(FormatGeneral(100.5L, sep), "100,5");
    EXPECT_BOTH(FormatGeneral(-2.5L, sep), "-2,5");
    EXPECT_BOTH(FormatGeneral(0.0L, sep), "0");
    EXPECT_BOTH(FormatGeneral(-0.0L, sep), "0");
    EXPECT_BOTH(FormatGeneral(0.0001L, sep), "0,0001");
    EXPECT_BOTH(FormatGeneral(1.0L / 3.0L, sep), "0,333333333333333");
    EXPECT_BOTH(FormatGeneral(2.0L / 3.0L, sep), "0,666666666666667");
    EXPECT_BOTH(FormatGeneral(0.1L + 0.2L, sep), "0,3");
    EXPECT_BOTH(FormatGeneral(123456789012345.0L, sep), "123456789012345");
    EXPECT_BOTH(FormatGeneral(65535.0L, sep), "65535");
    // Counts are shown as plain integers.
    for (int n : {1, 4, 20, 1000, 999999})
        EXPECT_EQ(FormatGeneral(static_cast<long double>(n), ','), std::to_string(n));
}

TEST(FormatGeneral, ScientificBelowOneTenThousandthAndFromTenToTheFifteenth) {
    EXPECT_BOTH(FormatGeneral(0.00001L, sep), "1E-5");
    EXPECT_BOTH(FormatGeneral(0.000051L, sep), "5,1E-5");
    EXPECT_BOTH(FormatGeneral(-0.000051L, sep), "-5,1E-5");
    EXPECT_BOTH(FormatGeneral(1e15L, sep), "1E15");
    EXPECT_BOTH(FormatGeneral(1.5e20L, sep), "1,5E20");
    EXPECT_BOTH(FormatGeneral(123456789012345678.0L, sep), "1,23456789012346E17");
    EXPECT_BOTH(FormatGeneral(1e-300L, sep), "1E-300");
    EXPECT_BOTH(FormatGeneral(1e4000L, sep), "1E4000");
    // Rounding to 15 digits decides the notation: these become 1E15 and 0,0001.
    EXPECT_BOTH(FormatGeneral(999999999999999.9L, sep), "1E15");
    EXPECT_BOTH(FormatGeneral(0.00009999999999999999L, sep), "0,0001");
    EXPECT_BOTH(FormatGeneral(999999999999999.0L, sep), "999999999999999");
    EXPECT_BOTH(FormatGeneral(0.0000999999999999999L, sep), "9,99999999999999E-5");
}

TEST(FormatGeneral, ExactTiesRoundAwayFromZero) {
    // 1 + 2^-15 = 1.000030517578125 exactly: the 16th digit is a final 5.
    EXPECT_BOTH(FormatGeneral(1.0L + std::ldexp(1.0L, -15), sep), "1,00003051757813");
    EXPECT_BOTH(FormatGeneral(-(1.0L + std::ldexp(1.0L, -15)), sep), "-1,00003051757813");
    // An exact integer tie in the 16th digit.
    EXPECT_BOTH(FormatGeneral(1234567890123445.0L, sep), "1,23456789012345E15");
    // Not a tie: one unit of the last bit below the half goes down.
    EXPECT_BOTH(FormatGeneral(std::nextafter(1.0L + std::ldexp(1.0L, -15), 0.0L), sep),
                "1,00003051757812");
}

TEST(FormatPattern, PatternsOfTheProtocols) {
    EXPECT_BOTH(FormatPattern("  00#", 7.0L, sep), "  007");
    EXPECT_BOTH(FormatPattern("  00#", 12.0L, sep), "  012");
    EXPECT_BOTH(FormatPattern("  00#", 1234.0L, sep), "  1234");
    EXPECT_BOTH(FormatPattern("  00#", 0.0L, sep), "  000");
    EXPECT_BOTH(FormatPattern("0.000", 0.0234L, sep), "0,023");
    EXPECT_BOTH(FormatPattern("0.000", 1.5L, sep), "1,500");
    EXPECT_BOTH(FormatPattern("0.000", 12345.6789L, sep), "12345,679");
    EXPECT_BOTH(FormatPattern("0.000000", -0.5L, sep), "-0,500000");
    EXPECT_BOTH(FormatPattern("0.0000000", 0.1234567891L, sep), "0,1234568");
    EXPECT_BOTH(FormatPattern("0.0000000", -3.14159265358979L, sep), "-3,1415927");
}

TEST(FormatPattern, TiesAndNegativeZero) {
    // Exact binary ties go away from zero.
    EXPECT_BOTH(FormatPattern("0.000", 1.0625L, sep), "1,063");
    EXPECT_BOTH(FormatPattern("0.000", -1.0625L, sep), "-1,063");
    EXPECT_BOTH(FormatPattern("  00#", 0.5L, sep), "  001");
    EXPECT_BOTH(FormatPattern("  00#", 2.5L, sep), "  003");
    EXPECT_BOTH(FormatPattern("0.000", 0.0625L, sep), "0,063");
    // Just below a tie stays below.
    EXPECT_BOTH(FormatPattern("0.000", std::nextafter(1.0625L, 0.0L), sep), "1,062");
    // A negative value that rounds to zero loses its sign.
    EXPECT_BOTH(FormatPattern("0.000", -0.0000001L, sep), "0,000");
    EXPECT_BOTH(FormatPattern("0.000", -0.0L, sep), "0,000");
    EXPECT_BOTH(FormatPattern("0.000", -0.0005001L, sep), "-0,001");
}

TEST(FormatPattern, OptionalDigitsAndLargeValues) {
    EXPECT_BOTH(FormatPattern("#.##", 0.5L, sep), ",5");
    EXPECT_BOTH(FormatPattern("0.0#", 2.0L, sep), "2,0");
    EXPECT_BOTH(FormatPattern("0.##", 2.0L, sep), "2");
    EXPECT_BOTH(FormatPattern("0.000", 1e20L, sep), "100000000000000000000,000");
    EXPECT_EQ(FormatPattern("0.000", std::numeric_limits<long double>::max(), '.').size(), 4933u + 4u);
}

TEST(FormatSigned, PlusUnlessMinus) {
    EXPECT_BOTH(FormatSigned("0.000000", 0.0L, sep), "+0,000000");
    EXPECT_BOTH(FormatSigned("0.000000", -0.25L, sep), "-0,250000");
    EXPECT_BOTH(FormatSigned("0.000000", 0.25L, sep), "+0,250000");
    EXPECT_BOTH(FormatSigned("0.0000000", 0.1234567891L, sep), "+0,1234568");
    EXPECT_BOTH(FormatSigned("0.000", -0.0000001L, sep), "+0,000");
    // The check looks at the first character only: a pattern with leading
    // literals always receives the plus.
    EXPECT_BOTH(FormatSigned("  00#", 7.0L, sep), "+  007");
}

TEST(FixedSigned, SixDecimalsOfFifteenSignificantDigits) {
    EXPECT_BOTH(FixedSigned(1234.5L, sep), "+1234,500000");
    EXPECT_BOTH(FixedSigned(-0.25L, sep), "-0,250000");
    EXPECT_BOTH(FixedSigned(0.0L, sep), "+0,000000");
    EXPECT_BOTH(FixedSigned(123456789.123456789L, sep), "+123456789,123457");
    EXPECT_BOTH(FixedSigned(-123456789.123456789L, sep), "-123456789,123457");
    // Digits beyond the fifteenth are zeros.
    EXPECT_BOTH(FixedSigned(1234567890123.456789L, sep), "+1234567890123,460000");
    EXPECT_BOTH(FixedSigned(123456789012345.6L, sep), "+123456789012346,000000");
    // Small values and negative values that round to zero.
    EXPECT_BOTH(FixedSigned(0.0000004L, sep), "+0,000000");
    EXPECT_BOTH(FixedSigned(-0.0000004L, sep), "+0,000000");
    EXPECT_BOTH(FixedSigned(-0.0000006L, sep), "-0,000001");
    EXPECT_BOTH(FixedSigned(0.1234567891L, sep), "+0,123457");
    // An exact tie at the sixth decimal (2^-7 = 0.0078125).
    EXPECT_BOTH(FixedSigned(std::ldexp(1.0L, -7), sep), "+0,007813");
    EXPECT_BOTH(FixedSigned(-std::ldexp(1.0L, -7), sep), "-0,007813");
}

TEST(FixedSigned, MoreThanFifteenWholeDigitsIsScientific) {
    EXPECT_BOTH(FixedSigned(1e15L, sep), "+1E15");
    EXPECT_BOTH(FixedSigned(-1.5e20L, sep), "-1,5E20");
    // Rounding 999999999999999.7 to whole numbers makes 16 digits.
    EXPECT_BOTH(FixedSigned(999999999999999.7L, sep), "+1E15");
}

TEST(NumberFormat, IndependentOfTheCLocale) {
    const char* old = std::setlocale(LC_ALL, nullptr);
    const std::string saved = old ? old : "C";
    if (!std::setlocale(LC_ALL, "cs_CZ.UTF-8") && !std::setlocale(LC_ALL, "de_DE.UTF-8"))
        GTEST_SKIP() << "no locale with a decimal comma installed";
    EXPECT_EQ(FormatGeneral(0.5L, '.'), "0.5");
    EXPECT_EQ(FormatPattern("0.000", 1.5L, '.'), "1.500");
    EXPECT_EQ(FixedSigned(1234.5L, '.'), "+1234.500000");
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(NumberFormat, NonFiniteValuesAreNotWrittenAsNumbers) {
    const long double inf = std::numeric_limits<long double>::infinity();
    const long double nan = std::numeric_limits<long double>::quiet_NaN();
    EXPECT_EQ(FormatGeneral(inf, ','), "?");
    EXPECT_EQ(FormatGeneral(nan, ','), "?");
    EXPECT_EQ(FormatPattern("0.000", -inf, ','), "?");
    EXPECT_EQ(FixedSigned(nan, ','), "+?");
}

}  // namespace
}  // namespace pelvanor
