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

#include "app/state/object_points_pipeline.h"
#include "app/state/result_commands.h"
#include "tests/state/loaded_project.h"
#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

// Four images of a facade in millimetres and metres, 2 micrometres of image
// noise and one blunder of 6 mm that the robust estimation removes.
synth::Options RoadProject() {
    synth::Options o;
    o.images = 4;
    o.control = 6;
    o.points = 16;
    o.sigma = 0.002L;
    o.realistic = true;
    o.gross = 1;
    o.gross_size = 6.0L;
    o.seed = 35;
    return o;
}

void CheckAgainstGolden(char decimal, const std::string& goldenName) {
    test::LoadedProject lp(RoadProject(), decimal);
    ASSERT_TRUE(ObjectPointsCommand(lp.state, lp.host));
    const std::string file = lp.dir.Path("kompletni protokol.txt");
    SaveCompleteProtocol(lp.state, lp.host, file);
    const std::string written = test::ReadFileBytes(file);
    const std::string golden = test::SourcePath("tests/state/golden/" + goldenName);
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
