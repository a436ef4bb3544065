// A control point's marks repeated in the image coordinate files (the real
// data's exact variant) are named once, after the load that brings the two
// kinds together; the variant that keeps them once has no such line.

#include "project/double_mark_warning.h"

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "project/loaders.h"
#include "tests/project/loaded_project.h"
#include "tests/project/recording_host.h"
#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

using Lines = std::vector<std::string>;

Lines LoadBoth(const std::string& dir, ProjectState& s) {
    test::RecordingHost host(&s);
    const std::vector<std::string> control = test::ProjectFiles(dir, "ctrl_");
    const std::vector<std::string> images = test::ProjectFiles(dir, "img_");
    EXPECT_EQ(LoadControlPointsCommand(control, control, s, host).status, ControlLoadResult::Status::Loaded);
    EXPECT_TRUE(LoadImagePointsCommand(images, images, s, host));
    Lines warnings;
    for (const std::string& line : host.log)
        if (line.rfind("Upozornění - ", 0) == 0) warnings.push_back(line);
    return warnings;
}

TEST(DoubleMarkWarning, ControlMarksInBothKindsOfFilesAreNamedOnce) {
    const std::string exact = test::RealDataPath("prague2016_cam_fixed/exact");
    const std::string once = test::RealDataPath("prague2016_cam_fixed/exact_noctrl");
    if (exact.empty() || once.empty()) GTEST_SKIP() << "real data not available";
    ProjectState s;
    const std::string f = exact + "/img_";
    EXPECT_EQ(LoadBoth(exact, s),
              Lines{"Upozornění - Vlícovací body 1001, 1002, 1003 a 1004 jsou na týchž snímcích v souborech "
                    "vlícovacích bodů i snímkových souřadnic; jejich značky se ve výpočtu počítají dvakrát (jako "
                    "vlícovací bod a jako spojovací bod téhož čísla): " +
                    f + "01.txt, " + f + "02.txt, " + f + "03.txt, " + f + "04.txt, " + f + "05.txt a dalších 16"});
    ProjectState t;
    EXPECT_TRUE(LoadBoth(once, t).empty());
}

}  // namespace
}  // namespace pelvanor
