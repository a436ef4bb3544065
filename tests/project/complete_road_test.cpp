// The whole road of a user: input files written by the generator, loaded by
// the program's loaders, "Souřadnice XYZ" computed, and the complete
// protocol saved, compared byte for byte with reviewed files in both
// decimal separators.
//
// To regenerate the reviewed files after a deliberate change, run this test
// with PELVANOR_UPDATE_GOLDEN=1 and review the difference before committing.

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "tests/project/road_project.h"
#include "project/object_points_pipeline.h"
#include "project/result_commands.h"
#include "tests/project/loaded_project.h"
#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

using test::RoadProject;

void CheckAgainstGolden(char decimal, const std::string& goldenName) {
    test::LoadedProject lp(RoadProject(), decimal);
    ASSERT_TRUE(ObjectPointsCommand(lp.state, lp.host));
    const std::string file = lp.dir.Path("kompletni protokol.txt");
    SaveCompleteProtocol(lp.state, lp.host, file);
    const std::string written = test::ReadFileBytes(file);
    const std::string golden = test::SourcePath("tests/project/golden/" + goldenName);
    if (std::getenv("PELVANOR_UPDATE_GOLDEN")) {
        test::WriteFileBytes(golden, written);
        GTEST_SKIP() << "wrote " << golden;
    }
    const std::string expected = test::ReadFileBytes(golden);
    ASSERT_FALSE(expected.empty()) << golden;
    EXPECT_EQ(written, expected);
}

TEST(CompleteRoad, GeneratedProjectInCommaLocale) { CheckAgainstGolden(',', "road_comma.txt"); }

TEST(CompleteRoad, GeneratedProjectInPointLocale) { CheckAgainstGolden('.', "road_point.txt"); }

}  // namespace
}  // namespace pelvanor
