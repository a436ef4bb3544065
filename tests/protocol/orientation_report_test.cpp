#include "protocol/orientation_report.h"

#include <gtest/gtest.h>

#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

using test::MakeMatrix;

const std::string kHeader =
    "Snímek      r11       r12       r13       r21       r22       r23       r31       r32       "
    "r33       X0[m]     Y0[m]     Z0[m]";

TEST(OrientationReport, TwoImages) {
    MatPtr minimal = MakeMatrix({{1, 0, 0, 0, 1, 0, 0, 0, 1, 100.5L, -20, 30, 1, 0.9L, 1.1L, 1.2L},
                                 {0.5L, -0.25L, 0, 0, 1, 0, 0, 0, 1, 1, 2, 3, 0, 0, 0, 0}});
    MatPtr sigma0 = MakeMatrix({{0.0234L}, {0.0004L}});
    MatPtr refined = MakeMatrix({{1, 0, 0, 0, 1, 0, 0, 0, 1, 100.5L, -20, 30},
                                 {-0.5L, 0, 0, 0, 1, 0, 0, 0, 1, 1234.5L, -0.25L, 0}});
    const auto lines = OrientationReport(2, *minimal, 7, *sigma0, *refined, ',');
    const std::vector<std::string> expected = {
        "Výpočet přibližné orientace - program Pelvanor",
        std::string(46, '*'),
        " ",
        "Řešení vnější orientace z minimálního počtu vlícovacích bodů",
        std::string(60, '-'),
        " ",
        kHeader,
        "  001    +1,000000 +0,000000 +0,000000 +0,000000 +1,000000 +0,000000 +0,000000 "
        "+0,000000 +1,000000  +100,500000 -20,000000 +30,000000",
        "  002    +0,500000 -0,250000 +0,000000 +0,000000 +1,000000 +0,000000 +0,000000 "
        "+0,000000 +1,000000  +1,000000 +2,000000 +3,000000",
        " ",
        "Řešení vnější orientace z projektivní transformace",
        std::string(50, '-'),
        " ",
        "Počet iterací: 7",
        " ",
        "Aposteriorní směrodatná odchylka jednotková na snímku  001 = 0,023",
        "Aposteriorní směrodatná odchylka jednotková na snímku  002 = 0,000",
        " ",
        kHeader,
        "  001    +1,000000 +0,000000 +0,000000 +0,000000 +1,000000 +0,000000 +0,000000 "
        "+0,000000 +1,000000  +100,500000 -20,000000 +30,000000",
        "  002    -0,500000 +0,000000 +0,000000 +0,000000 +1,000000 +0,000000 +0,000000 "
        "+0,000000 +1,000000  +1234,500000 -0,250000 +0,000000",
    };
    ASSERT_EQ(lines.size(), 21u);
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(lines[i], expected[i]) << i;
    EXPECT_EQ(test::Utf8Characters(lines[0]), 46u);
    EXPECT_EQ(test::Utf8Characters(lines[3]), 60u);
    EXPECT_EQ(test::Utf8Characters(lines[10]), 50u);
    EXPECT_EQ(test::Utf8Characters(kOrientationTableHeader), 127u);
    EXPECT_EQ(std::string(kOrientationTableHeader), kHeader);
}

TEST(OrientationReport, PointDecimalAndWideImageNumbers) {
    MatPtr table = NewMatrix(1000, 12);
    table->SetPrvek(10, 1, -0.5L);
    EXPECT_EQ(OrientationRow(*table, 10, '.').substr(0, 19), "  010    -0.500000 ");
    EXPECT_EQ(OrientationRow(*table, 100, '.').substr(0, 9), "  100    ");
    EXPECT_EQ(OrientationRow(*table, 1000, '.').substr(0, 10), "  1000    ");
    MatPtr sigma0 = NewMatrix(1, 1);
    sigma0->SetPrvek(1, 1, 1.5L);
    MatPtr one = MakeMatrix({{1, 0, 0, 0, 1, 0, 0, 0, 1, 0.125L, 0, 0}});
    const auto lines = OrientationReport(1, *one, 12, *sigma0, *one, '.');
    ASSERT_EQ(lines.size(), 18u);
    EXPECT_EQ(lines[12], "Počet iterací: 12");
    EXPECT_EQ(lines[14], "Aposteriorní směrodatná odchylka jednotková na snímku  001 = 1.500");
    EXPECT_EQ(lines.back(),
              "  001    +1.000000 +0.000000 +0.000000 +0.000000 +1.000000 +0.000000 +0.000000 "
              "+0.000000 +1.000000  +0.125000 +0.000000 +0.000000");
}

}  // namespace
}  // namespace pelvanor
