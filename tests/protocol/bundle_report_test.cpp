// The fixed texts of the bundle adjustment protocol.

#include "protocol/bundle_report.h"

#include <string>

#include <gtest/gtest.h>

#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

TEST(BundleReport, HeadersKeepTheirSpacing) {
    EXPECT_EQ(kBundleHeader, "Snímek     X0[m]     Y0[m]     Z0[m]    alfa[rad]  beta[rad]  gama[rad]");
    EXPECT_EQ(kBundleHeaderF, "Snímek     X0[m]     Y0[m]     Z0[m]    alfa[rad]  beta[rad]  gama[rad]      f");
    EXPECT_EQ(test::Utf8Characters(kBundleHeader), 71u);
    EXPECT_EQ(test::Utf8Characters(kBundleHeaderF), 78u);
}

}  // namespace
}  // namespace pelvanor
