#include "protocol/number_format.h"

#include <clocale>
#include <cmath>
#include <cstring>
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

// --- Faults the fuzzer found (fuzz/number_format_fuzz.cpp), kept as regressions ---

// A "." before the first placeholder was taken for a literal, so ".#" wrote
// 0.5 rounded to an integer after a literal point: ".1", a wrong number.
TEST(NumberFormatRegression, LeadingSeparatorIsTheDecimalSeparator) {
    EXPECT_EQ(FormatPattern(".#", 0.5L, ','), ",5");
    EXPECT_EQ(FormatPattern(".#", 0.25L, '.'), ".3");  // exact tie, away from zero
    EXPECT_EQ(FormatPattern(".00", 0.25L, ','), ",25");
    EXPECT_EQ(FormatPattern(".00", 12.5L, ','), "12,50");
    EXPECT_EQ(FormatPattern(" .0#", -0.04L, ','), " -,04");
    EXPECT_EQ(FormatSigned(".00", 0.5L, ','), "+,50");
    // The fuzzer's input: ".# ##" is three decimals, all optional, and the
    // interior blank goes after the number.
    EXPECT_EQ(FormatPattern(".# ##", 0.125L, '.'), ".125 ");
    EXPECT_EQ(FormatPattern(".# ##", -3.128427829735609e-77L, '.'), " ");
    // A pattern with no placeholder stays literal text.
    EXPECT_EQ(FormatPattern(".", 0.5L, ','), ".");
}

// An exact tie was rounded away from zero by nudging the value to the next
// long double, which crosses the next rounding boundary where long doubles
// lie further apart than the last shown digit: 2^57 + 0.125 in "0.00" gave
// .14, and the fuzzer's 2002554271235752.01953125 in "0.0000000" gave
// .0196533.
TEST(NumberFormatRegression, ExactTiesOfLargeValuesRoundToTheNeighbouringDigit) {
    const long double big = std::ldexp(1.0L, 57) + 0.125L;
    EXPECT_EQ(FormatPattern("0.00", big, '.'), "144115188075855872.13");
    EXPECT_EQ(FormatSigned("0.00", -big, ','), "-144115188075855872,13");
    EXPECT_EQ(FormatPattern("0.0000000", 2002554271235752.01953125L, '.'), "2002554271235752.0195313");
    EXPECT_EQ(FormatPattern("0.000000", 2002554271235752.01953125L, '.'), "2002554271235752.019531");
    // Carries through nines, and small ties stay as they were.
    EXPECT_EQ(FormatPattern("0.00", std::ldexp(1.0L, 57) - 0.125L, '.'), "144115188075855871.88");
    EXPECT_EQ(FormatPattern("  00#", 99999.5L, '.'), "  100000");
    EXPECT_EQ(FormatPattern("0.000", 1.0625L, ','), "1,063");
    EXPECT_EQ(FormatGeneral(9999999999999995.0L, '.'), "1E16");
    EXPECT_EQ(FormatGeneral(1234567890123455.0L, '.'), "1.23456789012346E15");
    EXPECT_EQ(FixedSigned(-0.0078125L, ','), "-0,007813");
}

// x87 encodings that no computation produces but a corrupted value could
// hold: they are not numbers and are written as the placeholder.
long double FromBits(unsigned long long mantissa, unsigned exponent) {
    unsigned char bytes[sizeof(long double)] = {};
    std::memcpy(bytes, &mantissa, 8);
    bytes[8] = static_cast<unsigned char>(exponent & 0xff);
    bytes[9] = static_cast<unsigned char>(exponent >> 8);
    long double v = 0.0L;
    std::memcpy(&v, bytes, sizeof v);
    return v;
}

TEST(NumberFormatRegression, InvalidEncodingsAreWrittenAsThePlaceholder) {
    const long double invalid[] = {
        FromBits(0, 0x3fff),                     // unnormal: integer bit clear
        FromBits(1ULL << 62, 0x4000),            // unnormal with a fraction
        FromBits(0, 0x7fff),                     // pseudo-infinity
        FromBits(0x4000000000000000ULL, 0xffff)  // pseudo-NaN, negative
    };
    for (long double v : invalid) {
        EXPECT_EQ(FormatGeneral(v, ','), "?");
        EXPECT_EQ(FormatPattern("0.000", v, ','), "?");
        EXPECT_EQ(FormatSigned("0.000", v, ','), "+?");
        EXPECT_EQ(FixedSigned(v, ','), "+?");
    }
}

}  // namespace
}  // namespace pelvanor
