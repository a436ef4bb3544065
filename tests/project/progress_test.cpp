#include "project/progress.h"

#include <limits>
#include <string>

#include <gtest/gtest.h>

namespace pelvanor {
namespace {

ComputationProgress Pass(AdjustmentKind kind, bool withoutOutliers, int pass, long double m0) {
    ComputationProgress p;
    p.stage = ComputationStage::Adjustment;
    p.adjustment = kind;
    p.withoutOutliers = withoutOutliers;
    p.pass = pass;
    p.m0 = m0;
    return p;
}

// The window's line in full; a terminal line narrower than it leaves out the
// heading, then the adjustment, never the pass or the m0.
TEST(ProgressText, WindowLineAndItsShorteningsForATerminal) {
    ComputationProgress orientation;
    EXPECT_EQ(ProgressText(orientation, ','), "Výpočet: přibližná vnější orientace");

    // The m0 is the pass before's: none in the first pass, none that is no number.
    EXPECT_EQ(ProgressText(Pass(AdjustmentKind::WithCameraConstant, false, 1, 0.5L), ','),
              "Výpočet: svazkové vyrovnání s konstantou komory, iterace 1");
    EXPECT_EQ(ProgressText(Pass(AdjustmentKind::WithCameraConstant, false, 3, std::numeric_limits<long double>::infinity()), ','),
              "Výpočet: svazkové vyrovnání s konstantou komory, iterace 3");
    // 6 significant digits, a halfway value away from zero, as "%g" writes them.
    EXPECT_EQ(ProgressText(Pass(AdjustmentKind::WithoutCameraConstant, false, 2, 0.0123456789L), ','),
              "Výpočet: svazkové vyrovnání bez konstanty komory, iterace 2, m0 = 0,0123457");
    EXPECT_EQ(ProgressText(Pass(AdjustmentKind::WithoutCameraConstant, false, 2, 1.0L / 1024), '.'),
              "Výpočet: svazkové vyrovnání bez konstanty komory, iterace 2, m0 = 0.000976563");
    EXPECT_EQ(ProgressText(Pass(AdjustmentKind::WithoutCameraConstant, false, 2, 1.5e-7L), ','),
              "Výpočet: svazkové vyrovnání bez konstanty komory, iterace 2, m0 = 1,5e-07");
    EXPECT_EQ(ProgressText(Pass(AdjustmentKind::WithoutCameraConstant, false, 2, 2500000.0L), ','),
              "Výpočet: svazkové vyrovnání bez konstanty komory, iterace 2, m0 = 2,5e+06");

    const ComputationProgress longest = Pass(AdjustmentKind::WithoutCameraConstant, true, 12, 0.00123456L);
    const std::string full =
        "Výpočet: svazkové vyrovnání bez konstanty komory (bez odlehlých měření), iterace 12, m0 = 0,00123456";
    EXPECT_EQ(ProgressText(longest, ','), full);
    EXPECT_EQ(ProgressText(longest, ',', 100), full);  // 100 characters, more bytes
    EXPECT_EQ(ProgressText(longest, ',', 99),
              "svazkové vyrovnání bez konstanty komory (bez odlehlých měření), iterace 12, m0 = 0,00123456");
    EXPECT_EQ(ProgressText(longest, ',', 79), "svazkové vyrovnání, iterace 12, m0 = 0,00123456");
    EXPECT_EQ(ProgressText(longest, ',', 12), "svazkové vyr");
}

}  // namespace
}  // namespace pelvanor
