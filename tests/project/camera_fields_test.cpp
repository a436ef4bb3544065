// A negative camera constant is refused as a bad camera value before any
// computation, with a line naming it; the load itself takes any number.

#include "project/camera_fields.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "project/bundle_pipeline.h"
#include "project/orientation_pipeline.h"
#include "tests/project/loaded_project.h"

namespace pelvanor {
namespace {

using Lines = std::vector<std::string>;

TEST(CameraFields, ANegativeCameraConstantIsRefusedBeforeAnyComputation) {
    test::LoadedProject lp(test::TinyProject(91));
    const CameraParameters loaded = lp.host.camera;
    lp.host.camera.f = -24.0L;
    const std::string cause =
        "Chyba - Konstanta komory f = -24 je záporná, musí být kladná (vzdálenost středu promítání od roviny snímku)";
    EXPECT_FALSE(ApproximateOrientationCommand(lp.state, lp.host));
    EXPECT_EQ(lp.host.log, (Lines{"Chyba - Špatné hodnoty parametrů kamery", cause}));
    EXPECT_FALSE(lp.state.OrientationRefined);

    lp.host.log.clear();
    lp.host.camera.f = -31.5L;
    EXPECT_FALSE(BundleCommand(lp.state, lp.host));
    EXPECT_EQ(lp.host.log.front(), "Chyba - Špatné hodnoty parametrů kamery");
    EXPECT_EQ(lp.host.log.back(), "Chyba - Konstanta komory f = -31,5 je záporná, musí být kladná (vzdálenost středu "
                                  "promítání od roviny snímku)");
    EXPECT_FALSE(lp.state.BundleUnknowns);

    // The same project with the constant as loaded computes.
    lp.host.log.clear();
    lp.host.camera = loaded;
    EXPECT_TRUE(ApproximateOrientationCommand(lp.state, lp.host));
}

}  // namespace
}  // namespace pelvanor
