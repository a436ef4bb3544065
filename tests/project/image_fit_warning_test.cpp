// The warning for an image that does not fit the block: the calibration
// sheet's control of images 1 to 3 with the measurements of images 1, 2
// and 5 (plane method, camera constant off), where every step succeeds and
// every point passes the F-test, names image 3; the sheet paired right
// names none.

#include "project/image_fit_warning.h"

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "project/object_points_pipeline.h"
#include "tests/project/loaded_project.h"
#include "tests/project/recording_host.h"
#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

using Lines = std::vector<std::string>;

Lines FitLines(const Lines& log) {
    Lines found;
    for (const std::string& line : log)
        if (line.find("nezapadá do bloku") != std::string::npos || line.find("nezapadají do bloku") != std::string::npos)
            found.push_back(line);
    return found;
}

std::vector<std::string> Named(const std::string& dir, std::initializer_list<const char*> names) {
    std::vector<std::string> files;
    for (const char* name : names) files.push_back(dir + "/" + name);
    return files;
}

// Loads the files, computes "Souřadnice XYZ" with the plane method and the
// camera constant off, and returns the log.
Lines Compute(const std::string& dir, const std::vector<std::string>& control, const std::vector<std::string>& images,
              ProjectState& s) {
    test::RecordingHost host(&s);
    EXPECT_TRUE(LoadCameraFile(dir + "/camera.txt", s));
    EXPECT_EQ(LoadControlPoints(control, s).status, ControlLoadResult::Status::Loaded);
    EXPECT_TRUE(LoadImagePoints(images, s));
    host.items[UiItem::Orientace1] = host.items[UiItem::Snmkovsouadnice1] = true;
    host.camera = s.Camera;
    host.method = 0;
    s.Settings.AdjustCameraConstant = false;
    EXPECT_TRUE(ObjectPointsCommand(s, host));
    return host.log;
}

TEST(ImageFitWarning, AWronglyPairedImageIsNamed) {
    const std::string cam = test::RealDataPath("prague2016_cam_fixed/exact");
    if (cam.empty()) GTEST_SKIP() << "real data not available";
    ProjectState wrong;
    const Lines log = Compute(cam, Named(cam, {"ctrl_01.txt", "ctrl_02.txt", "ctrl_03.txt"}),
                              Named(cam, {"img_01.txt", "img_02.txt", "img_05.txt"}), wrong);
    const std::vector<long double> factors = FitFactors(TieRayAgreement(wrong));
    ASSERT_EQ(factors.size(), 3u);
    // Measured: 1, 1 and some 200; what the data determine is that image 3
    // stands out by far more than the threshold and the others do not.
    EXPECT_LT(factors[0], 2.0L);
    EXPECT_LT(factors[1], 2.0L);
    EXPECT_GT(factors[2], 10.0L * kImageFitFactor);
    const Lines fit = FitLines(log);
    ASSERT_EQ(fit.size(), 1u) << testing::PrintToString(log);
    EXPECT_EQ(fit[0].rfind("Upozornění - Snímek 3 nezapadá do bloku (přibližná orientace): nesoulad paprsků "
                           "spojovacích bodů se snímkem, se kterým souhlasí nejlépe, je ",
                           0),
              0u)
        << fit[0];
    EXPECT_NE(fit[0].find("krát větší než medián snímků; není jeho soubor spárován s jiným snímkem nebo chybně "
                          "změřen?"),
              std::string::npos)
        << fit[0];

    // The first three images paired right: no image is named.
    ProjectState right;
    EXPECT_TRUE(FitLines(Compute(cam, Named(cam, {"ctrl_01.txt", "ctrl_02.txt", "ctrl_03.txt"}),
                                 Named(cam, {"img_01.txt", "img_02.txt", "img_03.txt"}), right))
                    .empty());
}

TEST(ImageFitWarning, FactorsAgainstTheMedianOfTheImages) {
    // An image without a figure counts neither in the median nor as a misfit.
    const std::vector<long double> f = FitFactors({4.0L, -1.0L, 2.0L, 64.0L, 8.0L, 1.0L});
    ASSERT_EQ(f.size(), 6u);
    EXPECT_EQ(f[0], 1.0L);  // the median of 1, 2, 4, 8 and 64
    EXPECT_EQ(f[1], 0.0L);
    EXPECT_EQ(f[3], 16.0L);
    EXPECT_TRUE(FitFactors({1.0L, 5.0L}).empty());  // two images: no majority
    EXPECT_TRUE(FitFactors({0.0L, 0.0L, 1.0L}).empty());
}

}  // namespace
}  // namespace pelvanor
