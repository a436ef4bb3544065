#include "input/number_parse.h"

#include <cfloat>
#include <clocale>
#include <cmath>
#include <string>

#include <gtest/gtest.h>

namespace pelvanor {
namespace {

// The expected values are long double literals, converted (correctly
// rounded) by the compiler.
TEST(ParseFileNumber, AcceptsDecimalNumbersExactly) {
    struct Case {
        const char* text;
        long double value;
    };
    const Case cases[] = {
        {"100.5", 100.5L},
        {"-0.02", -0.02L},
        {"1e-5", 1e-5L},
        {"1E-5", 1e-5L},
        {"+3", 3.0L},
        {"1E+3", 1000.0L},
        {"2.5e3", 2500.0L},
        {".5", 0.5L},
        {"5.", 5.0L},
        {"0", 0.0L},
        {"000123", 123.0L},
        {"0.1", 0.1L},
        {"0.3", 0.3L},
        {"123456789012345678901234567890", 123456789012345678901234567890.0L},
        {"3.14159265358979323846264338327950288", 3.14159265358979323846264338327950288L},
        {"1.18973149535723176502e+4932", 1.18973149535723176502e+4932L},
        {"-65535", -65535.0L},
    };
    for (const auto& c : cases) {
        long double v = -12345.0L;
        EXPECT_TRUE(ParseFileNumber(c.text, v)) << c.text;
        EXPECT_EQ(v, c.value) << c.text;
    }
    // Not through double: 0.1 as a long double differs from 0.1 as a double.
    long double v = 0.0L;
    ASSERT_TRUE(ParseFileNumber("0.1", v));
    EXPECT_NE(v, static_cast<long double>(0.1));
}

TEST(ParseFileNumber, RejectsEverythingElseAndLeavesTheValue) {
    const char* bad[] = {
        "", "nan", "NaN", "NAN", "inf", "-inf", "Infinity", "0x10", "0x1p3", "1e", "1e+", "1E-", "e5",
        ".", "-", "+", "+-1", "--1", "1,5", "1.5.5", " 1", "1 ", "\t1", "1\r", "1e5000", "-1e5000",
        "1.2e3x", "12a", "1e1.5", "1_000", "\xc2\xb9",
    };
    for (const char* text : bad) {
        long double v = 42.0L;
        EXPECT_FALSE(ParseFileNumber(text, v)) << text;
        EXPECT_EQ(v, 42.0L) << text;
    }
    long double v = 42.0L;
    EXPECT_FALSE(ParseFileNumber(std::string_view("1\0" "2", 3), v));
    EXPECT_EQ(v, 42.0L);
}

TEST(ParseFileNumber, AtMostSixtyFourCharacters) {
    const std::string ok64 = "1." + std::string(62, '0');
    const std::string long65 = "1." + std::string(63, '0');
    ASSERT_EQ(ok64.size(), 64u);
    long double v = 0.0L;
    EXPECT_TRUE(ParseFileNumber(ok64, v));
    EXPECT_EQ(v, 1.0L);
    v = 7.0L;
    EXPECT_FALSE(ParseFileNumber(long65, v));
    EXPECT_EQ(v, 7.0L);
    EXPECT_FALSE(ParseFileNumber(std::string(10000, '9'), v));
}

TEST(ParseFileNumber, OverflowRefusedUnderflowRounded) {
    long double v = 1.0L;
    EXPECT_FALSE(ParseFileNumber("1.2e4932", v));
    EXPECT_FALSE(ParseFileNumber("1e4933", v));
    EXPECT_FALSE(ParseFileNumber("1e999999999999", v));
    EXPECT_EQ(v, 1.0L);
    // Subnormal results are the correctly rounded value.
    ASSERT_TRUE(ParseFileNumber("1e-4940", v));
    EXPECT_EQ(v, 1e-4940L);
    EXPECT_GT(v, 0.0L);
    EXPECT_LT(v, LDBL_MIN);
    ASSERT_TRUE(ParseFileNumber("-3.3e-4935", v));
    EXPECT_EQ(v, -3.3e-4935L);
    // Far below the smallest subnormal: zero.
    ASSERT_TRUE(ParseFileNumber("1e-5000", v));
    EXPECT_EQ(v, 0.0L);
    ASSERT_TRUE(ParseFileNumber("0e5000", v));
    EXPECT_EQ(v, 0.0L);
    // Leading zeros of the fraction count towards the exponent: 1e-53 * 1e-4890.
    ASSERT_TRUE(ParseFileNumber("0." + std::string(52, '0') + "1e-4890", v));
    EXPECT_EQ(v, 1e-4943L);
}

TEST(ParseFieldNumber, LocaleSeparatorAndBlanks) {
    long double v = 0.0L;
    ASSERT_TRUE(ParseFieldNumber("0,5", ',', v));
    EXPECT_EQ(v, 0.5L);
    ASSERT_TRUE(ParseFieldNumber("  0,003  ", ',', v));
    EXPECT_EQ(v, 0.003L);
    ASSERT_TRUE(ParseFieldNumber("\t-2,5e3\t", ',', v));
    EXPECT_EQ(v, -2500.0L);
    ASSERT_TRUE(ParseFieldNumber("1E-5", ',', v));
    EXPECT_EQ(v, 1e-5L);
    ASSERT_TRUE(ParseFieldNumber("0.5", '.', v));
    EXPECT_EQ(v, 0.5L);
    ASSERT_TRUE(ParseFieldNumber("+100", '.', v));
    EXPECT_EQ(v, 100.0L);

    v = 9.0L;
    const char* badComma[] = {"0.5", "1 000,5", "1 000", "1.000,5", "", " ", "   ", "1,5,", ",", "nan", "inf", "1e",
                              "1,5 x", "5mm", "0x1A", "0x10", "1e5000"};
    for (const char* text : badComma) {
        EXPECT_FALSE(ParseFieldNumber(text, ',', v)) << text;
        EXPECT_EQ(v, 9.0L) << text;
    }
    EXPECT_FALSE(ParseFieldNumber("0,5", '.', v));
    EXPECT_FALSE(ParseFieldNumber("1,000.5", '.', v));
    EXPECT_EQ(v, 9.0L);
}

TEST(NumberParse, IndependentOfTheCLocale) {
    const char* old = std::setlocale(LC_ALL, nullptr);
    const std::string saved = old ? old : "C";
    if (!std::setlocale(LC_ALL, "cs_CZ.UTF-8") && !std::setlocale(LC_ALL, "de_DE.UTF-8"))
        GTEST_SKIP() << "no locale with a decimal comma installed";
    long double v = 0.0L;
    EXPECT_TRUE(ParseFileNumber("0.25", v));
    EXPECT_EQ(v, 0.25L);
    EXPECT_FALSE(ParseFileNumber("0,25", v));
    EXPECT_TRUE(ParseFileNumber("1e-4940", v));
    EXPECT_EQ(v, 1e-4940L);
    EXPECT_TRUE(ParseFieldNumber("0.75", '.', v));
    EXPECT_EQ(v, 0.75L);
    std::setlocale(LC_ALL, saved.c_str());
}

}  // namespace
}  // namespace pelvanor
