// Faults the fuzzer found in the protocol number formats (fuzz/
// number_format_fuzz.cpp), kept as regressions.

#include <cmath>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "protocol/number_format.h"

namespace pelvanor {
namespace {

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
        FromBits(0x4000000000000000ULL, 0xffff), // pseudo-NaN, negative
        // The seed bits06: an unnormal for which std::to_chars writes no
        // exponent; the exponent's position was taken from a failed search.
        FromBits(0x4000000000000000ULL, 0x3fff),
        FromBits(1ULL << 63, 0),                 // pseudo-denormals: integer bit set,
        FromBits((1ULL << 63) | 5, 0x8000),      // exponent 0 (negative here)
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
